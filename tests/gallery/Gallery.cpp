// Draws the window in each phase and every theme piece to PNG files, headless, from a fixture
// tree, so the screens can be looked at without a display:
//   tamrel_gallery OUTPUT_FOLDER [EARLIER_OUTPUT_FOLDER]
// Fails (exit 1) when a picture cannot be written or a phase does not come on, and, given the
// folder of an earlier run, when a picture's pixels differ from the one of that name there
// (exit 77, nothing compared, where the fixture's paths cannot be fixed).
// Two runs of one build draw the same pixels: the disk's figures are fixed, the fixture folders
// have fixed paths where the process may (FixedPaths.h), and the gallery's clock, which the
// model times its scans and searches on, stands still.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "model/app/AppModel.h"
#include "tests/gallery/FixedPaths.h"
#include "tests/gallery/ResultsGallery.h"
#include "tests/gallery/Settle.h"
#include "tests/gallery/ToolsGallery.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"
#include "tests/ui/Headless.h"
#include "ui/home/ScanningView.h"
#include "ui/home/Sidebar.h"
#include "ui/home/WelcomeView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/shell/TamrelApp.h"
#include "ui/shell/WindowFrame.h"
#include "ui/theme/Caption.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/LogoMark.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/Screen.h"
#include "ui/theme/SegmentMeter.h"
#include "ui/theme/SizeText.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/theme/Symbols.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/TickBox.h"

using namespace tamrel;

namespace {

QString gOut;
// The output folder and an earlier run's, opened before the gallery's own /tmp hides them (when
// they lie there).
int gOutFd = -1;
int gEarlierFd = -1;
bool gOk = true;
QStringList gSaved;

// The PNG file `name` of the folder `folderFd`, opened with `flags` into `file`.
bool openPicture(QFile& file, int folderFd, const QString& name, int flags) {
    const int fd = ::openat(folderFd, (name + QStringLiteral(".png")).toLocal8Bit().constData(),
                            flags | O_CLOEXEC, 0644);
    const auto mode = (flags & O_WRONLY) ? QIODevice::WriteOnly : QIODevice::ReadOnly;
    if (fd >= 0 && file.open(fd, mode, QFileDevice::AutoCloseHandle)) return true;
    if (fd >= 0) ::close(fd);
    return false;
}

void savePicture(const QPixmap& picture, const QString& name) {
    const QString file = gOut + QLatin1Char('/') + name + QStringLiteral(".png");
    QFile out;
    if (!openPicture(out, gOutFd, name, O_WRONLY | O_CREAT | O_TRUNC) ||
        !picture.save(&out, "PNG")) {
        std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(file));
        gOk = false;
        return;
    }
    gSaved << name;
    std::printf("%s\n", qPrintable(file));
}

// Whether every picture saved has the pixels of the one of its name in the earlier run's folder.
bool sameAsEarlier() {
    bool same = true;
    for (const QString& name : gSaved) {
        QFile nowFile, thenFile;
        QImage now, then;
        if (openPicture(nowFile, gOutFd, name, O_RDONLY)) now.load(&nowFile, "PNG");
        if (openPicture(thenFile, gEarlierFd, name, O_RDONLY)) then.load(&thenFile, "PNG");
        if (now.isNull() || then.isNull() ||
            now.convertToFormat(QImage::Format_ARGB32) !=
                then.convertToFormat(QImage::Format_ARGB32)) {
            std::fprintf(stderr, "gallery: %s differs from the earlier run's\n", qPrintable(name));
            same = false;
        }
    }
    return same;
}

void save(QWidget& w, const QString& name) {
    savePicture(w.grab(), name);
}

// The one disk the sidebar and the Welcome screen show, in place of the machine's, whose free
// space changes from run to run.
constexpr std::uint64_t kDiskTotal = 499'963'174'912;
constexpr std::uint64_t kDiskFree = 187'340'000'000;

using test::waitFor;

// One sheet of every theme piece.
class Pieces : public QWidget {
public:
    Pieces() {
        setFixedSize(1320, 840);
        auto* v = new QVBoxLayout(this);
        v->setContentsMargins(40, 40, 40, 40);
        v->setSpacing(24);

        auto* keys = new QHBoxLayout();
        keys->setSpacing(14);
        for (bool large : {false, true}) {
            for (KeyKind kind : {KeyKind::plain, KeyKind::accent, KeyKind::dark}) {
                auto* k = new KeyButton(large ? QStringLiteral("Large key") : QStringLiteral("Key"),
                                        kind, large, this);
                if (kind == KeyKind::accent) k->setSymbol(QStringLiteral("magnifyingglass"));
                keys->addWidget(k);
            }
        }
        auto* pressed = new KeyButton(QStringLiteral("Pressed"), KeyKind::plain, false, this);
        pressed->setDown(true);
        emit pressed->pressed();
        keys->addWidget(pressed);
        auto* disabled = new KeyButton(QStringLiteral("Disabled"), KeyKind::plain, false, this);
        disabled->setEnabled(false);
        keys->addWidget(disabled);
        keys->addWidget(new RoundKey(QStringLiteral("arrow.clockwise"), 28, this));
        keys->addWidget(new RoundKey(QStringLiteral("chevron.up"), 28, this));
        keys->addStretch(1);
        v->addLayout(keys);

        auto* row = new QHBoxLayout();
        row->setSpacing(18);
        row->addWidget(new LogoMark(24, this));
        row->addWidget(new LogoMark(64, this));
        for (const char* s : {"house.fill", "arrow.down.circle.fill", "doc.fill", "hammer.fill",
                              "internaldrive.fill", "externaldrive.fill", "books.vertical.fill",
                              "square.grid.3x3.fill", "menubar.dock.rectangle", "sparkles",
                              "brain.head.profile", "globe", "trash.fill"}) {
            row->addWidget(new Glyph(QString::fromLatin1(s),
                                     Palette::folderHex(QString::fromLatin1(s)), 24, this));
        }
        row->addWidget(new Glyph(QStringLiteral("house.fill"), 0x8E7CF8, 40, this));
        row->addWidget(new LED(Color::led, false, this));
        row->addWidget(new LED(QColor(255, 176, 32), false, this));
        row->addWidget(new LED(Color::danger, false, this));
        row->addStretch(1);
        v->addLayout(row);

        auto* texts = new QHBoxLayout();
        texts->setSpacing(24);
        texts->addWidget(new Caption(QStringLiteral("disks"), this));
        texts->addWidget(new SizeText(0, 22, Color::ink2, this));
        texts->addWidget(new SizeText(1'234'567'890, 22, Color::ink2, this));
        texts->addWidget(new SizeText(987'000, 34, Color::tangerine, this));
        // A count changing from 1.23 GB to 1.48 GB, caught a third and two thirds into its
        // roll: the changed digits rise out of their places as the new ones rise in.
        for (double progress : {0.33, 0.67}) {
            auto* rolling = new SizeText(1'234'567'890, 34, Color::ink2, this);
            rolling->motion().setBytes(1'484'567'890, true);
            rolling->motion().spring().setValue(progress);
            texts->addWidget(rolling);
        }
        texts->addStretch(1);
        v->addLayout(texts);

        auto* screens = new QHBoxLayout();
        screens->setSpacing(24);
        auto* screen = new Screen(14, this);
        screen->setFixedSize(360, 100);
        auto* sv = new QVBoxLayout(screen);
        sv->setContentsMargins(16, 16, 16, 16);
        sv->addWidget(
            new SegmentMeter(0.5, 36, Color::screenGlow, QColor(255, 255, 255, 20), 14, screen));
        sv->addWidget(
            new SegmentMeter(0.0, 36, Color::screenGlow, QColor(255, 255, 255, 20), 14, screen));
        screens->addWidget(screen);
        auto* card = new Panel(kCardRadius, this);
        card->setFixedSize(360, 120);
        auto* cv = new QVBoxLayout(card);
        cv->setContentsMargins(18, 18, 18, 18);
        cv->addWidget(new Caption(QStringLiteral("a card"), card));
        cv->addWidget(new SegmentMeter(1.0, 20, Color::tangerine, Color::line, 10, card));
        screens->addWidget(card);
        screens->addStretch(1);
        v->addLayout(screens);

        auto* symbols = new QHBoxLayout();
        symbols->setSpacing(6);
        for (const QString& name : Symbols::names()) {
            auto* g = new Glyph(name, 0x4FA8F7, 20, this);
            g->setToolTip(name);
            symbols->addWidget(g);
        }
        symbols->addStretch(1);
        v->addLayout(symbols);
        v->addStretch(1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Color::putty);
    }
};

// Every kind of key and control with the keyboard focus, each on the ground it stands on: the
// window's putty, a white card and the dark display of the basket tray. One control has the
// focus at a time; the sheet puts together what each looked like with it.
class FocusRings : public QWidget {
public:
    FocusRings() {
        setFixedSize(1000, 330);
        auto* v = new QVBoxLayout(this);
        v->setContentsMargins(30, 30, 30, 30);
        v->setSpacing(24);
        const auto keysOn = [this](QWidget* ground, bool dark) {
            auto* row = new QHBoxLayout(ground);
            row->setContentsMargins(20, 18, 20, 18);
            row->setSpacing(18);
            for (bool large : {false, true}) {
                for (KeyKind kind : {KeyKind::plain, KeyKind::accent, KeyKind::dark}) {
                    if (dark && large) continue;
                    auto* k = new KeyButton(large ? QStringLiteral("Large") : QStringLiteral("Key"),
                                            kind, large, ground);
                    if (kind == KeyKind::accent) k->setSymbol(QStringLiteral("trash.fill"));
                    row->addWidget(k);
                }
            }
            row->addWidget(new RoundKey(QStringLiteral("arrow.clockwise"), 30, ground));
            if (!dark) {
                row->addWidget(new TickBox(TickState::none, ground));
                row->addWidget(new TickBox(TickState::some, ground));
                row->addWidget(new TickBox(TickState::all, ground));
                row->addWidget(new TextButton(QStringLiteral("Open Trash"), ground));
                row->addWidget(new WindowKey(QStringLiteral("xmark"), QStringLiteral("Close"), ground));
            }
            row->addStretch(1);
        };
        auto* putty = new QWidget(this);
        keysOn(putty, false);
        v->addWidget(putty);
        auto* card = new Panel(kCardRadius, this);
        keysOn(card, false);
        v->addWidget(card);
        auto* screen = new Screen(18, this);
        keysOn(screen, true);
        v->addWidget(screen);
    }

    // The sheet with each control drawn as it is with the focus.
    QPixmap picture() {
        show();
        activateWindow();
        if (!test::exposed(*this, true)) std::fprintf(stderr, "gallery: no active window\n");
        QPixmap out = grab();
        QPainter painter(&out);
        for (QWidget* w : findChildren<QWidget*>()) {
            if (!(w->focusPolicy() & Qt::TabFocus)) continue;
            w->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            const QRect r = QRect(w->mapTo(this, QPoint(0, 0)), w->size()).adjusted(-3, -3, 3, 3);
            painter.drawPixmap(r.topLeft(), grab(r));
        }
        return out;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Color::putty);
    }
};

}  // namespace

int main(int argc, char** argv) {
    gOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(gOut);
    gOutFd = ::open(gOut.toLocal8Bit().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (argc > 2) gEarlierFd = ::open(argv[2], O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (gOutFd < 0 || (argc > 2 && gEarlierFd < 0)) {
        std::fprintf(stderr, "gallery: cannot open %s\n", gOutFd < 0 ? qPrintable(gOut) : argv[2]);
        return 1;
    }
    const bool fixedPaths = enterFixedPaths();
    if (gEarlierFd >= 0 && !fixedPaths) {
        std::fprintf(stderr,
                     "gallery: the fixture's paths vary here (no tmpfs of its own can be "
                     "mounted), so no run is compared with another\n");
        return 77;
    }
    const auto app = test::headlessApp(argc, argv);
    const test::ScopedScreenClock screenClock(galleryClock());
    const QString fonts = Fonts::missingMessage();
    if (!fonts.isEmpty()) std::fprintf(stderr, "gallery: %s\n", qPrintable(fonts));

    // The fixture: a home folder with places and a small tree to scan.
    test::ScopedDataHome data;
    const test::TempDir tree(fixedName("gallery"));
    for (const char* d : {"home/Downloads", "home/Documents", "home/Desktop", "home/Developer",
                          "project/src", "project/build", "project/media"}) {
        tree.mkdirs(d);
    }
    tree.write("project/media/film.mov", 4'000'000);
    tree.write("project/media/still.png", 300'000);
    tree.write("project/build/app.o", 900'000);
    tree.write("project/src/main.cpp", 12'000);
    ::setenv("HOME", (tree.path() + "/home").c_str(), 1);

    test::FakeDesktop desktop;
    AppModel::Options options;
    options.clock = &galleryClock();
    options.startUp = false;
    options.watcher.allowFanotify = false;
    options.volumes =
        std::vector<Volume>{{"/", QStringLiteral("Computer"), kDiskTotal, kDiskFree, true}};
    options.volumeFacts = VolumeFacts{.used = kDiskTotal - kDiskFree};
    AppModel model(desktop, options);
    model.startUp();

    {
        Pieces pieces;
        pieces.show();
        save(pieces, QStringLiteral("pieces"));
    }
    {
        FocusRings rings;
        savePicture(rings.picture(), QStringLiteral("focus-rings"));
    }

    MainWindow window(model);
    window.resize(1320, 840);
    window.show();
    settle(model);
    save(window, QStringLiteral("window-home"));

    auto* welcome = qobject_cast<WelcomeView*>(window.rootView()->screen());
    if (welcome != nullptr) {
        // The drop highlight, as while a folder is dragged over the screen.
        QMetaObject::invokeMethod(welcome, [welcome] {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QDir::homePath())});
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(welcome, &enter);
        });
        settle(model);
        save(window, QStringLiteral("window-home-dropping"));
        QDragLeaveEvent leave;
        QApplication::sendEvent(welcome, &leave);
    }

    // The Scanning screen at a chosen moment, in both dial modes.
    model.scan(tree.path() + "/project", true);
    if (auto* scanning = qobject_cast<ScanningView*>(window.rootView()->screen())) {
        scanning->freeze({std::nullopt, 1'284'377, 96'512, 182'400'000'000, 48'200, 26.6});
        save(window, QStringLiteral("window-scanning-spinner"));
        scanning->freeze({0.42, 1'284'377, 96'512, 182'400'000'000, 48'200, 26.6});
        save(window, QStringLiteral("window-scanning-measured"));
    }
    if (!waitFor([&] { return model.phase() == Phase::results; })) {
        std::fprintf(stderr, "gallery: the scan of the fixture did not finish\n");
        return 1;
    }
    settle(model);
    save(window, QStringLiteral("window-results"));
    // The sidebar alone, with the scanned project as the target (no row: it is neither a disk
    // nor a place), then with Home as the target.
    model.scan(tree.path() + "/home", true);
    waitFor([&] {
        return model.phase() == Phase::results && model.index() &&
               model.index()->rootPath() == tree.path() + "/home";
    });
    settle(model);
    save(*window.rootView()->sidebar(), QStringLiteral("sidebar-home-selected"));
    save(window, QStringLiteral("window-results-home"));
    saveResultsGallery(window, model, [](QWidget& w, const QString& name) { save(w, name); });
    saveToolsGallery(window, model, [](QWidget& w, const QString& name) { save(w, name); });
    saveLinuxGallery(window, model, [](QWidget& w, const QString& name) { save(w, name); });
    if (gEarlierFd >= 0 && gOk) gOk = sameAsEarlier();
    return gOk ? 0 : 1;
}
