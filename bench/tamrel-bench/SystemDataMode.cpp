#include <cstdio>

#include "bench/tamrel-bench/TimedPass.h"
#include "core/space/SystemData.h"
#include "core/space/VolumeFacts.h"

namespace tamrel::bench {

int systemDataMode(const std::vector<std::string>& args) {
    return timePasses("systemdata", args,
                      [](const DiskIndex& index, const std::string& home,
                         const RuleProfile& profile, bool first) {
                          const SystemDataReport report =
                              systemData(index, home, VolumeFacts::read(index.rootPath()), profile);
                          if (!first) return;
                          for (const SpaceBucket& b : report.buckets) {
                              std::printf("  %-8s bytes %llu\n", b.id.c_str(),
                                          static_cast<unsigned long long>(b.bytes));
                              for (NodeId r : b.roots)
                                  std::printf("      %s\n", index.path(r).c_str());
                          }
                          std::printf("  used %llu  unseen %llu  unreadable %lld  snapshots %lld\n",
                                      static_cast<unsigned long long>(report.used),
                                      static_cast<unsigned long long>(report.unseen),
                                      static_cast<long long>(report.unreadable),
                                      static_cast<long long>(report.snapshots));
                      });
}

}  // namespace tamrel::bench
