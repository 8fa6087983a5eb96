#include "Classes/TitlePage/TLPlayerServices.h"

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/SocialNetwork/PlayerShareSheets.h"
#include "Classes/TLSettings.h"

void TLInstallPlayerServices() {
  static const bool installed = [] {
    AKMoviePlayerServices services;
    services.readListFile = [](const std::string& fileName) { return TLTitleListCache::read(fileName); };
    services.noServerItemDataAlert = [] { TLSettings::noServerItemDataAlert(); };
    services.showConnectionError = [](const ns::ErrorPtr& error) { TLSettings::showConnectionError(error); };
    services.openShareSheet = openPlayerShareSheet;
    AKMoviePlayerController::setServices(std::move(services));
    return true;
  }();
  (void)installed;
}
