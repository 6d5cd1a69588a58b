#include "ui/results/ItemMenu.h"

#include "model/app/AppModel.h"

namespace tamrel {
namespace {

QString nameOf(const AppModel& model, NodeId node) {
    const IndexRef& index = model.index();
    if (!index || node >= index->count()) return {};
    return QString::fromStdString(index->name(node));
}

}  // namespace

void openNode(AppModel& model, NodeId node) {
    if (!model.index() || model.openItem(node)) return;
    model.setToast(Toast::make(QStringLiteral("Couldn't open it"), nameOf(model, node), false));
}

void revealNode(AppModel& model, NodeId node) {
    if (!model.index() || model.reveal(node)) return;
    model.setToast(Toast::make(QStringLiteral("Couldn't show it in the file manager"),
                               nameOf(model, node), false));
}

QString pickRefusedTitle(const QString& reason) {
    return QStringLiteral("Pick for the Trash") + BasketAndTrash::reasonTail({}, {reason});
}

QMenu* makeItemMenu(AppModel& model, NodeId node, bool canPick, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const IndexRef index = model.index();
    if (!index || node >= index->count()) return menu;

    AppModel* m = &model;
    const std::weak_ptr<DiskIndex> generation = index;
    // Runs `act` only while the generation the menu was built for is still shown.
    auto entry = [menu, m, generation](const QString& title, auto act) {
        QObject::connect(menu->addAction(title), &QAction::triggered, m, [m, generation, act] {
            const std::shared_ptr<DiskIndex> shown = generation.lock();
            if (shown && m->index() == shown) act();
        });
    };
    if (index->isDir(node)) entry(QStringLiteral("Look Inside"), [m, node] { m->open(node); });
    entry(QStringLiteral("Show in File Manager"), [m, node] { revealNode(*m, node); });
    entry(QStringLiteral("Open"), [m, node] { openNode(*m, node); });
    entry(QStringLiteral("Copy Path"), [m, node] { m->copyPath(node); });
    // Unpicking always; picking where the Trash would take the item, else the entry stays,
    // turned off, saying why (asked of the disk now, as the menu opens).
    if (canPick) {
        const bool picked = model.inBasket(node);
        const QString refused = picked ? QString() : model.pickRefusal(node);
        menu->addSeparator();
        if (refused.isEmpty()) {
            entry(picked ? QStringLiteral("Unpick") : QStringLiteral("Pick for the Trash"),
                  [m, node] { m->toggleBasket(node); });
        } else {
            menu->addAction(pickRefusedTitle(refused))->setEnabled(false);
        }
    }
    return menu;
}

}  // namespace tamrel
