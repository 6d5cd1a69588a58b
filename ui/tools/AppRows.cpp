#include "ui/tools/AppRows.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include "format/Fmt.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/ShownText.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

// ---- Rows

AppRows::AppRows(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), spinner_(new BusySpinner(this)) {
    setFocusPolicy(Qt::TabFocus);
    spinner_->hide();
    const auto select = [this](int row) { this->select(row); };
    rowList_.reset(new RowList(
        this, this,
        {.count = [this] { return int(apps_.size()); },
         .rect = [this](int row) { return QRectF(rowRect(std::size_t(row))); },
         .key = [this](int row) { return QString::fromStdString(apps_[std::size_t(row)]->path); },
         .activate = select,
         .toggle = select,
         .click = [select](int row, QPointF) { select(row); },
         .scrollMargin =
             [this](int row) {
                 return rowRect(std::size_t(row)).height() / 2 + int(kAppRowsInset);
             },
         .firstRow = [this] { return std::max(selectedRow(), 0); },
         .moved = select}));
}

int AppRows::selectedRow() const {
    const OptionalNode& selected = model_.selectedApp();
    for (std::size_t i = 0; selected && i < apps_.size(); ++i) {
        if (apps_[i]->node == *selected) return int(i);
    }
    return -1;
}

void AppRows::select(int row) {
    model_.selectApp(apps_[std::size_t(row)]->node);
}

double AppRows::rowHeight() {
    return kAppRowPadV +
           std::max(kAppIconSide,
                    Fonts::rowTitle.lineHeight() + kAppRowLineGap + Fonts::rowDetail.lineHeight()) +
           kAppRowPadV + kAppRowDepth;
}

void AppRows::setApps(AppRefs apps, bool spinner) {
    apps_ = std::move(apps);
    rowList_->rowsChanged();
    // The place is the selection: on its row where it is listed, else nowhere until the list
    // takes the focus (and selects the row it starts on) or the model selects again.
    if (const int selected = selectedRow(); selected >= 0) {
        rowList_->setCurrentRow(selected);
    } else {
        rowList_->reset();
    }
    const double rows = double(apps_.size()) * (rowHeight() + kAppRowGap);
    spinner_->setVisible(spinner);
    spinner_->move((width() - spinner_->width()) / 2, int(kAppRowsInset + rows + kAppSpinnerGap));
    const double spinnerRoom = kAppSpinnerGap + BusySpinner::kSide + kAppSpinnerGap;
    setMinimumHeight(
        int(std::ceil(kAppRowsInset + rows + (spinner ? spinnerRoom : 0) + kAppRowsInset)));
    update();
}

QRect AppRows::rowRect(std::size_t row) const {
    return QRectF(kAppRowsInset, kAppRowsInset + double(row) * (rowHeight() + kAppRowGap),
                  width() - 2 * kAppRowsInset, rowHeight())
        .toRect();
}

void AppRows::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double step = rowHeight() + kAppRowGap;
    const auto first = std::size_t(std::max(0.0, (event->rect().top() - kAppRowsInset) / step));
    const auto last =
        std::min(apps_.size(),
                 std::size_t(std::max(0.0, (event->rect().bottom() - kAppRowsInset) / step)) + 1);
    const QDateTime now = QDateTime::currentDateTime();
    const OptionalNode& selected = model_.selectedApp();
    for (std::size_t i = first; i < last; ++i) {
        const InstalledApp& app = *apps_[i];
        const QRectF r = rowRect(i);
        const QRectF back(r.left(), r.top(), r.width(), r.height() - kAppRowDepth);
        if (selected && *selected == app.node) {
            paintKeycap(p, roundedShape(back.adjusted(0, 0, 0, -kAppRowDepth), kRowRadius),
                        QColor(0xFF, 0xF1, 0xE4), QColor(0xF0, 0xC9, 0xA8), kAppRowDepth, 0);
        } else if (rowList_->hoverRow() == int(i)) {
            p.setPen(Qt::NoPen);
            p.setBrush(Color::rowHover);
            p.drawPath(roundedShape(back, kRowRadius));
        }
        const QRectF inner = back.adjusted(kAppRowPadH, kAppRowPadV, -kAppRowPadH, -kAppRowPadV);
        paintInstalledAppIcon(p, QPointF(inner.left(), inner.center().y() - kAppIconSide / 2),
                              kAppIconSide, app);
        const QString total = Fmt::bytes(app.appSize + app.leftoverSize);
        const QString data = appDataLine(app);
        const double rightW =
            std::max(Fonts::tabularWidth(Fonts::itemSize.font(), total),
                     data.isEmpty() ? 0.0 : Fonts::tabularWidth(Fonts::appData.font(), data));
        const double textX = inner.left() + kAppIconSide + kAppIconGap;
        const double textW = inner.right() - rightW - kAppSizeGap - textX;
        const double nameH = Fonts::rowTitle.lineHeight();
        const double useH = Fonts::rowDetail.lineHeight();
        // Without a use line (the last use is not known) the name stands alone, centred.
        const QString use = appUseLine(app, now);
        const double top =
            inner.center().y() - (use.isEmpty() ? nameH : nameH + kAppRowLineGap + useH) / 2;
        paintLine(p, QRectF(textX, top, textW, nameH), shownPath(app.name), Fonts::rowTitle.font(),
                  Color::ink);
        if (!use.isEmpty()) {
            paintLine(p, QRectF(textX, top + nameH + kAppRowLineGap, textW, useH), use,
                      Fonts::rowDetail.font(), Color::ink2);
        }
        if (data.isEmpty()) {
            paintDigitsRight(p, QRectF(inner.left(), inner.top(), inner.width(), inner.height()),
                             total, Fonts::itemSize.font(), Color::ink);
        } else {
            const double th = Fonts::itemSize.lineHeight();
            const double dh = Fonts::appData.lineHeight();
            const double t = inner.center().y() - (th + kAppRowLineGap + dh) / 2;
            paintDigitsRight(p, QRectF(inner.left(), t, inner.width(), th), total,
                             Fonts::itemSize.font(), Color::ink);
            paintDigitsRight(p, QRectF(inner.left(), t + th + kAppRowLineGap, inner.width(), dh),
                             data, Fonts::appData.font(), Color::ink3);
        }
        if (rowList_->showsRing(int(i))) paintFocusRing(p, roundedShape(back, kRowRadius));
    }
}

}  // namespace tamrel
