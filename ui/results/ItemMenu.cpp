#include "ui/results/ItemMenu.h"

#include <algorithm>

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

void actOnPath(AppModel& model, const std::string& path, const QString& name,
               const std::function<void(NodeId)>& act) {
    const IndexRef index = model.index();
    const std::optional<NodeId> node = index ? index->lookup(path) : std::nullopt;
    if (node && !index->isGone(*node)) {
        act(*node);
        return;
    }
    model.setToast(Toast::make(QStringLiteral("\u201C%1\u201D is no longer there").arg(name),
                               QStringLiteral("It was moved or deleted after the menu opened."),
                               false));
}

QMenu* makeItemMenu(AppModel& model, NodeId node, bool canPick, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const IndexRef index = model.index();
    if (!index || node >= index->count()) return menu;

    AppModel* m = &model;
    const std::string path = index->path(node);
    const QString name = QString::fromStdString(index->name(node));
    // Each entry acts on the node at the item's path in the generation shown when it is chosen.
    auto entry = [menu, m, path, name](const QString& title, std::function<void(NodeId)> act) {
        QObject::connect(menu->addAction(title), &QAction::triggered, m,
                         [m, path, name, act] { actOnPath(*m, path, name, act); });
    };
    if (index->isDir(node)) {
        entry(QStringLiteral("Look Inside"), [m, name](NodeId at) {
            if (m->index()->isDir(at)) {
                m->open(at);
            } else {
                // A file took the folder's name meanwhile.
                m->setToast(
                    Toast::make(QStringLiteral("\u201C%1\u201D is no longer a folder").arg(name),
                                QString(), false));
            }
        });
    }
    entry(QStringLiteral("Show in File Manager"), [m](NodeId at) { revealNode(*m, at); });
    entry(QStringLiteral("Open"), [m](NodeId at) { openNode(*m, at); });
    entry(QStringLiteral("Copy Path"), [m](NodeId at) { m->copyPath(at); });
    // Unpicking always; picking where the Trash would take the item, else the entry stays,
    // turned off, saying why (asked of the disk now, as the menu opens).
    if (canPick) {
        const bool picked = model.inBasket(node);
        const QString refused = picked ? QString() : model.pickRefusal(node);
        menu->addSeparator();
        if (!refused.isEmpty()) {
            menu->addAction(pickRefusedTitle(refused))->setEnabled(false);
        } else if (picked) {
            entry(QStringLiteral("Unpick"), [m](NodeId at) {
                const NodeIds& basket = m->basket();
                // Picked by way of its folder, it stays with the folder, as a click leaves it.
                if (std::find(basket.begin(), basket.end(), at) != basket.end())
                    m->toggleBasket(at);
            });
        } else {
            entry(QStringLiteral("Pick for the Trash"), [m](NodeId at) {
                if (!m->inBasket(at)) m->toggleBasket(at);
            });
        }
    }
    return menu;
}

}  // namespace tamrel
