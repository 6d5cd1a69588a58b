#include <cstdio>

#include "bench/tamrel-bench/TimedPass.h"
#include "core/space/CleanPlan.h"

namespace tamrel::bench {

int planMode(const std::vector<std::string>& args) {
    return timePasses("plan", args,
                      [](const DiskIndex& index, const std::string& home, bool first) {
                          CleanContext context;
                          context.home = home;
                          const auto plan = cleanPlan(index, context, 262'144);
                          if (!first) return;
                          for (const CleanGroup& g : plan) {
                              std::uint64_t total = 0;
                              for (const CleanItem& it : g.items)
                                  total += index.size(it.node);
                              std::printf("  %-10s items %6zu  bytes %llu\n", g.id.c_str(),
                                          g.items.size(), static_cast<unsigned long long>(total));
                          }
                      });
}

}  // namespace tamrel::bench
