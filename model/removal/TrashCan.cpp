#include "model/removal/TrashCan.h"

namespace tamrel {

namespace {

class SystemTrashCan final : public TrashCan {
public:
    bool moveToTrash(const std::string& path) override { return Remover::trashAsUser(path); }
    Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                            const std::atomic<bool>& stop) override {
        return Remover::remove(items, platform, stop);
    }
};

}  // namespace

TrashCan& TrashCan::system() {
    static SystemTrashCan can;
    return can;
}

}  // namespace tamrel
