#include "Classes/TLPlayerServices.h"

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/SocialNetwork/PlayerShareSheets.h"
#include "Classes/TLSettings.h"

void TLInstallPlayerServices() {
  static const bool installed = [] {
    AKMoviePlayerServices services;
    services.listFilePath = [](const std::string& fileName) {
      return TLSettings::getPlistDirectoryWithFileName(fileName);
    };
    services.noServerItemDataAlert = [] { TLSettings::noServerItemDataAlert(); };
    services.showConnectionError = [](const ns::ErrorPtr& error) { TLSettings::showConnectionError(error); };
    services.openShareSheet = openPlayerShareSheet;
    AKMoviePlayerController::setServices(std::move(services));
    return true;
  }();
  (void)installed;
}
