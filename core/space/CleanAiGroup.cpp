#include "core/space/CleanPlanner.h"

namespace tamrel {

namespace {

constexpr std::uint32_t sessionAge = 2'678'399;  // older means at least 31 whole days

}  // namespace

void addAiGroup(CleanPlanner& plan) {
    std::vector<CleanPlanner::Offer> offers;
    for (NodeId n : plan.node(plan.home("/.cache/huggingface"))) {
        offers.push_back(plan.item(n, false, "Downloaded models; they download again when used"));
    }
    for (NodeId n : plan.node(plan.home("/.ollama/models"))) {
        offers.push_back(plan.item(n, false, "Ollama models; pull them again to use them"));
    }
    for (NodeId n : plan.node(plan.home("/.cache/lm-studio")))
        offers.push_back(plan.item(n, false));
    for (NodeId n : plan.node(plan.home("/.lmstudio/models")))
        offers.push_back(plan.item(n, false));
    if (plan.onLinux()) {
        // Downloaded models, claimed before the app caches group would tick them.
        for (NodeId n : plan.nodes("%cache/huggingface")) {
            offers.push_back(
                plan.item(n, false, "Downloaded models; they download again when used"));
        }
        for (const char* models : {"%cache/lm-studio", "%cache/torch", "%cache/whisper",
                                   "%cache/llama.cpp", "%data/nomic.ai/GPT4All"}) {
            for (NodeId n : plan.nodes(models))
                offers.push_back(plan.item(n, false));
        }
    }
    for (const char* sessions : {"/.codex/sessions", "/.claude/projects"}) {
        for (NodeId n : plan.kids(plan.home(sessions))) {
            const std::uint32_t t = plan.index.mtime(n);
            if (!plan.validTime(t) || plan.age(t) <= sessionAge) continue;
            offers.push_back(plan.item(n, false, "Last changed " + plan.dayPhrase(t)));
        }
    }
    plan.add("ai", "AI tools",
             "Model downloads and old coding-agent sessions. Big, and safe to remove if you don't "
             "need them.",
             "brain.head.profile", CleanGroup::Risk::review, std::move(offers));
}

}  // namespace tamrel
