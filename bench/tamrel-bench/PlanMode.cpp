#include <cstdio>

#include "bench/tamrel-bench/TimedPass.h"
#include "core/space/CleanPlan.h"

namespace tamrel::bench {

int planMode(const std::vector<std::string>& args) {
    return timePasses("plan", args,
                      [](const DiskIndex& index, const std::string& home,
                         const RuleProfile& profile, bool first) {
                          CleanContext context;
                          context.home = home;
                          context.profile = profile;
                          const auto plan = cleanPlan(index, context, 262'144);
                          if (!first) return;
                          for (const CleanGroup& g : plan) {
                              std::uint64_t total = 0;
                              for (const CleanItem& it : g.items)
                                  total += index.size(it.node);
                              std::printf("  %-10s items %6zu  bytes %llu\n", g.id.c_str(),
                                          g.items.size(), static_cast<unsigned long long>(total));
                              for (std::size_t k = 0; k < g.items.size() && k < 3; ++k) {
                                  std::printf("      %s %s\n", g.items[k].on ? "[x]" : "[ ]",
                                              index.path(g.items[k].node).c_str());
                              }
                          }
                      });
}

}  // namespace tamrel::bench
