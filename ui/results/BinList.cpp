#include "ui/results/BinList.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "format/Fmt.h"
#include "ui/results/BinTrayMetrics.h"
#include "ui/theme/Caption.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/ShownText.h"

namespace tamrel {
namespace {

// A row's take-out key: it never takes the focus itself, and shows the ring while its row is the
// list's place.
class TakeOutKey : public RoundKey {
public:
    TakeOutKey(const RowList& list, int row, QWidget* parent)
        : RoundKey(QStringLiteral("xmark"), kBasketRemoveKey, parent), list_(list), row_(row) {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        RoundKey::paintEvent(event);
        if (!list_.showsRing(row_)) return;
        QPainter p(this);
        QPainterPath face;
        face.addEllipse(
            QRectF(0, (kRoundKeyDepth - 1) * pressAmount(), kBasketRemoveKey, kBasketRemoveKey));
        paintFocusRing(p, face);
    }

private:
    const RowList& list_;
    int row_;
};

}  // namespace

BinRows::BinRows(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFocusPolicy(Qt::TabFocus);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(kBasketRowGap);
    const auto takeOut = [this](int k) { this->takeOut(k); };
    rowList_.reset(new RowList(
        this, this,
        {.count = [this] { return int(rows_.size()); },
         .rect = [this](int k) { return QRectF(rows_[std::size_t(k)]->geometry()); },
         .key =
             [this](int k) { return QString::fromStdString(index_->path(nodes_[std::size_t(k)])); },
         .activate = takeOut,
         .toggle = takeOut}));
    connect(&model_.basket, &PropertyNotifier::changed, this, &BinRows::refresh);
    connect(&model_.index, &PropertyNotifier::changed, this, &BinRows::refresh);
    refresh();
}

QAbstractButton* BinRows::removeKey(int k) const {
    return k >= 0 && k < int(keys_.size()) ? keys_[std::size_t(k)] : nullptr;
}

void BinRows::takeOut(int k) {
    if (index_ && model_.index() == index_) model_.toggleBasket(nodes_[std::size_t(k)]);
}

void BinRows::refresh() {
    while (QLayoutItem* item = column_->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
        delete item;
    }
    rows_.clear();
    keys_.clear();
    index_ = model_.index();
    nodes_.clear();
    const QFont& nameFont = Fonts::itemTitle.font();
    const QFont& sizeFont = Fonts::basketSize.font();
    for (NodeId node : index_ ? model_.basket() : NodeIds{}) {
        if (node >= index_->count()) continue;
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, kBasketRowPadV, 0, kBasketRowPadV);
        line->setSpacing(kBasketRowSpacing);
        auto* name = new QLabel;
        name->setFont(nameFont);
        const QString full = shownText(QString::fromStdString(index_->name(node)));
        auto* size = new QLabel(Fmt::bytes(index_->size(node)));
        size->setFont(sizeFont);
        QPalette sizePalette = size->palette();
        sizePalette.setColor(QPalette::WindowText, Color::ink2);
        size->setPalette(sizePalette);
        auto* remove = new TakeOutKey(*rowList_, int(rows_.size()), row);
        const double nameRoom = kBasketListWidth - 2 * kBasketListPad - kBasketRowSpacing -
                                size->sizeHint().width() - kBasketRowSpacing - kBasketRemoveRoom -
                                kBasketRowSpacing;
        name->setText(QFontMetricsF(nameFont).elidedText(full, Qt::ElideMiddle, nameRoom));
        name->setToolTip(full);
        line->addWidget(name);
        line->addStretch(1);
        line->addWidget(size);
        line->addWidget(remove);
        const int k = int(rows_.size());
        connect(remove, &QAbstractButton::clicked, this, [this, k] { takeOut(k); });
        nodes_.push_back(node);
        rows_.push_back(row);
        keys_.push_back(remove);
        column_->addWidget(row);
    }
    column_->addStretch(1);
    column_->activate();
    rowList_->rowsChanged();
    emit rowsMade();
}

BinList::BinList(AppModel& model, QWidget* parent) : QFrame(parent, Qt::Popup) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedWidth(kBasketListWidth);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Color::panel);
    palette.setColor(QPalette::WindowText, Color::ink);
    setPalette(palette);
    setFrameShape(QFrame::StyledPanel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kBasketListPad, kBasketListPad, kBasketListPad, kBasketListPad);
    column->setSpacing(kBasketCaptionGap);
    auto* caption = new QLabel(captionText(QStringLiteral("Ready for the Trash")), this);
    caption->setFont(Fonts::caption.font());
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, Color::ink2);
    caption->setPalette(captionPalette);
    column->addWidget(caption);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);  // the rows take the focus
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rows_ = new BinRows(model, scroll);
    scroll->setWidget(rows_);
    scroll->setMaximumHeight(kBasketListMost);
    column->addWidget(scroll);
    connect(rows_, &BinRows::rowsMade, this, [this] { adjustSize(); });
    adjustSize();
}

void BinList::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit closed();
}

}  // namespace tamrel
