#include "App/ClientProgram.h"

std::shared_ptr<ui::ApplicationHost> makeWindowHost(const ClientOptions&, std::shared_ptr<ClientSession>,
                                                    std::string& error) {
  error = "window mode is not available";
  return nullptr;
}
