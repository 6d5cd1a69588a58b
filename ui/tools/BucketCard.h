#pragma once

#include <memory>

#include <QWidget>

#include <optional>

#include "model/app/AppModel.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/RowList.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

class KeyButton;

// One bucket: glyph, title, advice badge, size, blurb, four item lines (its largest items, each
// with the bytes the bucket counts of it, or empty fillers), the note of what the clean-up plan
// leaves out, and the keys "Clean these up" (where `keyLook` has it: a safe bucket some of whose
// shown items the plan holds) and "Look inside" (with a root). An item line opens its folder;
// its context menu is the item menu without picking. The card reads node ids only in `index`,
// the generation its bucket belongs to (null: no item lines).
// The item lines take the focus with Tab before the keys and behave as every list (RowList):
// Enter opens the line's folder, the Menu key or Shift+F10 its menu.
class BucketCard : public QWidget, public FocusPart {
    Q_OBJECT
public:
    BucketCard(AppModel& model, SpaceBucket bucket, IndexRef index, CleanKeyLook keyLook,
               QWidget* parent = nullptr);
    const SpaceBucket& bucket() const { return bucket_; }
    KeyButton* cleanKey() const { return clean_; }
    KeyButton* lookKey() const { return look_; }
    // The item line under `pos`, as its node, or nothing (fillers included).
    std::optional<NodeId> itemAt(QPointF pos) const;
    // The rectangle of item line `row` (0 to 3).
    QRectF itemRect(int row) const;
    // What the plan leaves out, or empty.
    const QString& planNote() const { return keyLook_.note; }
    QRect focusPart() const override;
    // The item lines' behaviour: the line under the pointer and the keyboard's place.
    RowList& rowList() const { return *rowList_; }
    // The height of every card: with room for a two-line plan note under the items when
    // `noteRoom`.
    static double cardHeight(bool noteRoom = false);
    // The size, rolling its digits from `shown` (what the card of the same bucket it replaces
    // showed) to the bucket's bytes when `animate`.
    void rollFrom(std::uint64_t shown, bool animate);
    const SizeTextMotion& sizeMotion() const { return size_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    int lineCount() const;

    AppModel& model_;
    SpaceBucket bucket_;
    IndexRef index_;
    CleanKeyLook keyLook_;
    SizeTextMotion size_;
    KeyButton* clean_ = nullptr;
    KeyButton* look_ = nullptr;
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
    int blurbWidth_ = -1;
    QString blurbText_;
    QString noteText_;  // the plan note laid out at blurbWidth_
};

}  // namespace tamrel
