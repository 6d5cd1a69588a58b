#include "ui/tools/CleanHeader.h"

#include <QDesktopServices>
#include <QPainter>
#include <algorithm>
#include "platform/XdgDirs.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Panel.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"
#include "ui/tools/TextButton.h"

namespace tamrel {

namespace {

// The display of the header: "N TICKED" over the ticked size.
QString tickedLine(std::size_t count) {
    return QString::number(count) + QStringLiteral(" TICKED");
}
QSizeF tickedDisplaySize(std::size_t count, std::uint64_t bytes) {
    return readoutSize(tickedLine(count), bytes, kTickedSize, ReadoutCaption::above);
}

// The header's titles: "Clean up" over the line of what was found.
double headTextsHeight() {
    return Fonts::screenTitle.lineHeight() + kTitleGap + Fonts::subtitle.lineHeight();
}

}  // namespace

bool openTrash(const std::function<bool(const QUrl&)>& open) {
    if (open(QUrl(QStringLiteral("trash:///")))) return true;
    return open(QUrl::fromLocalFile(QString::fromStdString(homeTrashDirectory() + "/files")));
}

// ---- Header

CleanHeader::CleanHeader(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      clean_(new KeyButton(QStringLiteral("Clean"), KeyKind::accent, true, this)),
      openTrash_(new TextButton(QStringLiteral("Open Trash"), this)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    clean_->setSymbol(QStringLiteral("trash.fill"));
    connect(clean_, &QAbstractButton::clicked, this, [this] { model_.setConfirmClean(true); });
    connect(openTrash_, &QAbstractButton::clicked, this, [this] {
        // Where no program opens it, the toast says where it is, as the file menus' do.
        if (openTrash(opener_)) return;
        model_.setToast(Toast::make(QStringLiteral("Couldn't open the Trash"),
                                    QString::fromStdString(homeTrashDirectory() + "/files"),
                                    false));
    });
    connect(&ticked_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
    refresh();
}

double CleanHeader::heightFor() const {
    const double row = std::max(
        {headTextsHeight(), tickedDisplaySize(0, 0).height(), double(clean_->sizeHint().height())});
    double h = kHeaderPad + row + kHeaderPad;
    if (trashNote(model_.trashSize())) h += kTrashNoteGap + Fonts::secondary.lineHeight();
    return h + 1;
}

void CleanHeader::refresh() {
    const IndexRef index = model_.index();
    found_ = 0;
    if (index) {
        for (const CleanGroup& g : model_.cleanPlan())
            for (const CleanItem& item : g.items)
                if (item.node < index->count()) found_ += index->size(item.node);
    }
    tickedCount_ = model_.cleanPicked().size();
    // The clean-up being prepared is part of the run the user confirmed.
    const bool cleaning = model_.trashing() || model_.preparingClean();
    const bool none = model_.cleanPicked().empty();
    clean_->setText(cleaning ? QStringLiteral("Cleaning\u2026") : QStringLiteral("Clean"));
    clean_->setEnabled(!none && !model_.removalBusy() && model_.index());
    // Dimmed only for want of ticks: while a move runs it stays at full strength.
    clean_->setDisabledOpacity(none ? 0.5 : 1.0);
    openTrash_->setVisible(trashNote(model_.trashSize()).has_value());
    // A move to the Trash takes its nodes' sizes out of the index before it reports; a refresh in
    // between (the Trash's own size changing) is part of that move, so it rolls as well.
    ticked_.setBytes(model_.cleanSize(),
                     isVisible() && (model_.animation().has_value() || model_.trashing()));
    resizeEvent(nullptr);
    update();
}

void CleanHeader::resizeEvent(QResizeEvent*) {
    const QSize key = clean_->sizeHint();
    const double rowH =
        std::max({headTextsHeight(), tickedDisplaySize(0, 0).height(), double(key.height())});
    clean_->setGeometry(int(width() - kHeaderPad - key.width()),
                        int(kHeaderPad + (rowH - key.height()) / 2), key.width(), key.height());
    const QSize link = openTrash_->sizeHint();
    // Its text lines up with the card's padding; the ring's room lies outside it.
    openTrash_->setGeometry(int(width() - kHeaderPad - link.width() + TextButton::kPadH),
                            int(kHeaderPad + rowH + kTrashNoteGap - TextButton::kPadV),
                            link.width(), link.height());
}

void CleanHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const std::uint64_t found = found_;
    const std::size_t n = tickedCount_;
    const std::uint64_t ticked = ticked_.bytes();
    const QSizeF display = tickedDisplaySize(n, ticked);
    const double rowH = std::max({headTextsHeight(), display.height(), double(clean_->height())});
    const QRectF screen(clean_->x() - kCleanHeadGap - display.width(),
                        kHeaderPad + (rowH - display.height()) / 2, display.width(),
                        display.height());
    paintReadout(p, screen, tickedLine(n), ticked_, kTickedSize, ReadoutCaption::above);

    const double textW = screen.left() - kCleanHeadGap - kHeaderPad;
    const double titleH = Fonts::screenTitle.lineHeight();
    const double top = kHeaderPad + (rowH - headTextsHeight()) / 2;
    paintLine(p, QRectF(kHeaderPad, top, textW, titleH), QStringLiteral("Clean up"),
              Fonts::screenTitle.font(), Color::ink);
    paintLine(p, QRectF(kHeaderPad, top + titleH + kTitleGap, textW, Fonts::subtitle.lineHeight()),
              cleanFoundLine(found), Fonts::subtitle.font(), Color::ink2);

    if (const auto note = trashNote(model_.trashSize())) {
        const double y = kHeaderPad + rowH + kTrashNoteGap;
        const double lh = Fonts::secondary.lineHeight();
        paintSymbol(p, QRectF(kHeaderPad, y, kTrashSymbolWidth, lh), QStringLiteral("trash"),
                    kTrashSymbolPoints, Color::ink2);
        const double x = kHeaderPad + kTrashSymbolWidth + kTrashNoteInset;
        paintLine(p, QRectF(x, y, openTrash_->x() - kTrashNoteInset - x, lh), *note,
                  Fonts::secondary.font(), Color::ink2);
    }
}

}  // namespace tamrel
