#include "model/app/AppModel.h"

namespace tamrel {

bool AppModel::inBasket(NodeId) const { return false; }
void AppModel::toggleBasket(NodeId) {}
std::uint64_t AppModel::basketSize() const { return 0; }
void AppModel::trash(const NodeIds&, const std::vector<std::string>&) {}
bool AppModel::isProtected(const std::string&) { return false; }

}  // namespace tamrel
