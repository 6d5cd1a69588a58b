#include "model/app/AppModel.h"

namespace tamrel {

AppModel::AppModel(Desktop& desktop, Options options, QObject* parent)
    : QObject(parent),
      desktop_(desktop),
      options_(std::move(options)),
      clock_(options_.clock ? *options_.clock : Clock::steady()),
      platform_(options_.platform ? *options_.platform : Platform::system()),
      context_(announcer_, desktop_, options_, clock_, platform_, pool_),
      toasts_(context_),
      removals_(context_, toasts_),
      shown_(context_),
      search_(context_, shown_),
      basketAndTrash_(context_, shown_, removals_, toasts_),
      cleanUp_(context_, shown_, removals_, basketAndTrash_),
      derived_(context_, shown_, cleanUp_),
      appInventory_(context_, shown_),
      uninstaller_(context_, shown_, appInventory_, removals_, toasts_),
      liveSync_(context_, shown_),
      volumesAndPlaces_(context_, shown_, liveSync_, search_, toasts_),
      navigator_(context_, shown_, volumesAndPlaces_, liveSync_, search_, derived_, removals_,
                 toasts_) {
    volumesAndPlaces_.followMountTable();
    if (options_.startUp) navigator_.startUp();
}

AppModel::~AppModel() {
    context_.closing = true;
    if (progress()) progress()->cancel();
    derived_.stop();
    liveSync_.stopWatching();
    pool_.waitForDone();
}

void AppModel::startUp() {
    navigator_.startUp();
}

}  // namespace tamrel
