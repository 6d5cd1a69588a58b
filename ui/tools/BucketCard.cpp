#include "ui/tools/BucketCard.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "ui/results/AppIcon.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsHeader.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/SystemDataMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

namespace {

constexpr int kItemLines = int(kBucketItemLines);
constexpr Spring kCleanTheseUpSpring{0.3, 0.8};

// The room a bucket card keeps under its items for the plan's note: its lines and a gap.
double planNoteRoom() {
    return kPlanNoteLines * Fonts::planNote.lineHeight() + kPlanNoteGap;
}

// The bucket card's header height: the tallest of the glyph, the title over its badge and the
// size read-out.
double bucketHeaderHeight() {
    const double texts = Fonts::cardTitle.lineHeight() + kBucketBadgeGap +
                         Fonts::cardBadge.lineHeight() + 2 * kBucketBadgePadV;
    return std::max({kBucketHeaderLeast, texts, sizeTextHeight(kBucketSize)});
}

double keyHeight() {
    return tamrel::keyHeight(false);
}

// The blurb, the item lines and the keys under the header, kBucketGap apart.
double blurbTop() {
    return kCardPad + bucketHeaderHeight() + kBucketGap;
}
double itemsTop() {
    return blurbTop() + kBucketBlurbLines * Fonts::blurb.lineHeight() + kBucketGap;
}

}  // namespace

// ---- Bucket card

double BucketCard::cardHeight(bool noteRoom) {
    return itemsTop() + kItemLines * kItemLineHeight + (kItemLines - 1) * kItemLineGap +
           (noteRoom ? planNoteRoom() : 0) + kBucketGap + keyHeight() + kCardPad;
}

BucketCard::BucketCard(AppModel& model, SpaceBucket bucket, IndexRef index, CleanKeyLook keyLook,
                       QWidget* parent)
    : QWidget(parent),
      model_(model),
      bucket_(std::move(bucket)),
      index_(std::move(index)),
      keyLook_(std::move(keyLook)),
      size_(bucket_.bytes) {
    // Names that find the same parts on the card that replaces this one (FocusCarry).
    setObjectName(QStringLiteral("bucket ") + QString::fromStdString(bucket_.id));
    // Only in the generation the bucket's ids belong to; the model opens folders only, so a
    // file's line changes nothing.
    const auto open = [this](int line) {
        if (model_.index() == index_) model_.open(bucket_.top[std::size_t(line)]);
    };
    rowList_.reset(new RowList(
        this, this,
        {.count = [this] { return lineCount(); },
         .rect = [this](int line) { return itemRect(line); },
         .key =
             [this](int line) {
                 const NodeId node = bucket_.top[std::size_t(line)];
                 return node < index_->count() ? QString::fromStdString(index_->path(node))
                                               : QString();
             },
         .activate = open,
         .click = [open](int line, QPointF) { open(line); },
         .menu =
             [this](int line, QPoint global) {
                 if (model_.index() != index_) return;
                 makeItemMenu(model_, bucket_.top[std::size_t(line)], false, this)->popup(global);
             },
         .menuAnchor =
             [this](int line) {
                 const QRectF r = itemRect(line);
                 return QPoint(int(r.left()) + kItemLineMenuInset, int(r.bottom()));
             }}));
    connect(&size_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
    if (keyLook_.key) {
        clean_ = new KeyButton(QStringLiteral("Clean these up"), KeyKind::accent, false, this);
        clean_->setSymbol(QStringLiteral("arrow.right"));
        clean_->setObjectName(QStringLiteral("clean"));
        // The Clean up screen comes in on the key's own spring.
        connect(clean_, &QAbstractButton::clicked, this,
                [this] { selectTab(model_, Tab::tidy, kCleanTheseUpSpring); });
    }
    // The item lines take the focus while there are any to open.
    setFocusPolicy(lineCount() > 0 ? Qt::TabFocus : Qt::NoFocus);
    if (!bucket_.roots.empty()) {
        look_ = new KeyButton(QStringLiteral("Look inside"), KeyKind::plain, false, this);
        look_->setSymbol(QStringLiteral("arrow.right"));
        look_->setObjectName(QStringLiteral("look"));
        connect(look_, &QAbstractButton::clicked, this, [this] {
            // Only in the generation the bucket's ids belong to.
            if (index_ && model_.index() == index_) model_.open(bucket_.roots.front());
        });
    }
}

void BucketCard::rollFrom(std::uint64_t shown, bool animate) {
    size_.setBytes(shown, false);
    size_.setBytes(bucket_.bytes, animate);
}

void BucketCard::resizeEvent(QResizeEvent*) {
    double x = kCardPad;
    const double y = height() - 1 - kCardPad - keyHeight();
    for (KeyButton* key : {clean_, look_}) {
        if (!key) continue;
        key->resize(key->sizeHint());
        key->move(int(x), int(y));
        x += key->width() + kBucketKeyGap;
    }
}

QRectF BucketCard::itemRect(int row) const {
    return QRectF(kCardPad, itemsTop() + row * (kItemLineHeight + kItemLineGap),
                  width() - 2 * kCardPad, kItemLineHeight);
}

std::optional<NodeId> BucketCard::itemAt(QPointF pos) const {
    if (!index_) return std::nullopt;
    const int lines = int(std::min<std::size_t>(kItemLines, bucket_.top.size()));
    for (int i = 0; i < lines; ++i) {
        if (itemRect(i).contains(pos)) return bucket_.top[std::size_t(i)];
    }
    return std::nullopt;
}

void BucketCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const std::uint32_t hex = bucketHex(bucket_.id);
    const AdviceLook advice = adviceLook(bucket_.advice);
    paintGlyph(p, QPointF(kCardPad, kCardPad), QString::fromStdString(bucket_.symbol), hex,
               kBucketGlyph);
    const double sizeW = sizeTextWidth(bucket_.bytes, kBucketSize, kBucketTracking);
    const double textX = kCardPad + kBucketGlyph + kBucketGap;
    const double textW = width() - kCardPad - sizeW - kBucketSizeGap - textX;
    const QFont& title = Fonts::cardTitle.font();
    paintLine(p, QRectF(textX, kCardPad, textW, Fonts::lineHeight(title)),
              QString::fromStdString(bucket_.title), title, Color::ink);
    paintBadge(p, QPointF(textX, kCardPad + Fonts::lineHeight(title) + kBucketBadgeGap),
               advice.label, Fonts::cardBadge.font(), advice.text, advice.fill, kBucketBadgePadH,
               kBucketBadgePadV);
    paintSizeText(p,
                  QPointF(width() - kCardPad - sizeW,
                          kCardPad + QFontMetricsF(sizeTextFont(kBucketSize)).ascent()),
                  size_, kBucketSize, Color::ink, Color::ink2, kBucketTracking);
    const QFont& blurb = Fonts::blurb.font();
    const double textWidth = width() - 2 * kCardPad;
    p.setFont(blurb);
    p.setPen(Color::ink2);
    if (blurbWidth_ != width()) {
        // Laid out once per width: breaking text into lines is the costly part of a repaint.
        blurbWidth_ = width();
        blurbText_ =
            elideLines(QString::fromStdString(bucket_.blurb), blurb, textWidth, kBucketBlurbLines);
        if (!keyLook_.note.isEmpty())
            noteText_ =
                elideLines(keyLook_.note, Fonts::planNote.font(), textWidth, kPlanNoteLines);
    }
    p.drawText(
        QRectF(kCardPad, blurbTop(), textWidth, kBucketBlurbLines * Fonts::lineHeight(blurb)),
        Qt::TextWordWrap, blurbText_);

    if (!index_) return;
    if (!keyLook_.note.isEmpty()) {
        const QFont& font = Fonts::planNote.font();
        const QRectF under = itemRect(kItemLines - 1);
        const QRectF note(kCardPad, under.bottom() + kPlanNoteGap, textWidth,
                          kPlanNoteLines * Fonts::lineHeight(font));
        p.setFont(font);
        p.setPen(reviewInk());
        p.drawText(note, Qt::TextWordWrap, noteText_);
    }
    const int lines = int(std::min<std::size_t>(kItemLines, bucket_.top.size()));
    const QFont& name = Fonts::itemTitle.font();
    const QFont& size = Fonts::secondary.font();
    for (int i = 0; i < lines; ++i) {
        const NodeId node = bucket_.top[std::size_t(i)];
        if (node >= index_->count()) continue;
        const QRectF r = itemRect(i);
        p.setPen(Qt::NoPen);
        p.setBrush(Color::withOpacity(Color::ink,
                                      i == rowList_->hoverRow() ? kItemLineHover : kItemLineRest));
        p.drawRoundedRect(r, kItemRadius, kItemRadius);
        const QRectF icon(r.left() + kItemLinePad, r.center().y() - kItemLineIcon / 2,
                          kItemLineIcon, kItemLineIcon);
        if (const auto owner = Owner::shared().app(index_->path(node))) {
            AppIcon::paint(p, icon.topLeft(), kItemLineIcon, QString::fromStdString(*owner));
        } else {
            p.setBrush(Palette::color(hex));
            p.drawEllipse(QRectF(icon.center().x() - kItemLineDot / 2,
                                 icon.center().y() - kItemLineDot / 2, kItemLineDot, kItemLineDot));
        }
        // The bytes the bucket counts of the item, from the same report as its total.
        const QString bytes =
            Fmt::bytes(std::size_t(i) < bucket_.topBytes.size() ? bucket_.topBytes[std::size_t(i)]
                                                                : index_->size(node));
        const double bytesW = Fonts::tabularWidth(size, bytes);
        const double chevronX = r.right() - kItemLinePad - kChevronWidth;
        const QRectF bytesRect(chevronX - kItemLinePartGap - bytesW, r.top(), bytesW, r.height());
        const double nameX = icon.right() + kItemLinePartGap;
        paintLine(
            p, QRectF(nameX, r.top(), bytesRect.left() - kItemLinePartGap - nameX, r.height()),
            friendlyName(*index_, node, AppModel::ruleSet()), name, Color::ink, Qt::ElideMiddle);
        paintDigitsRight(p, bytesRect, bytes, size, Color::ink2);
        paintSymbol(p, QRectF(chevronX, r.top(), kChevronWidth, r.height()),
                    QStringLiteral("chevron.right"), kChevronPoints, Color::ink3);
        if (rowList_->showsRing(i)) paintFocusRing(p, roundedShape(r, kItemRadius));
    }
}

void BucketCard::mouseMoveEvent(QMouseEvent* event) {
    setCursor(itemAt(event->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

int BucketCard::lineCount() const {
    return index_ ? int(std::min<std::size_t>(kItemLines, bucket_.top.size())) : 0;
}

QRect BucketCard::focusPart() const {
    const QRectF first = itemRect(0);
    return QRectF(first.left(), first.top(), first.width(),
                  itemRect(kItemLines - 1).bottom() - first.top())
        .toAlignedRect();
}

}  // namespace tamrel
