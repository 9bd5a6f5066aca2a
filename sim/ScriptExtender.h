#pragma once
// The script extender as the plugin meets it: the interface record handed to both exports,
// the Papyrus registration interface (id 2), the messaging interface (id 5), and messages.
#include <cstdint>
#include <string>
#include <vector>

#include "skse/PluginAPI.h"

namespace sim {

struct ScriptExtenderOptions {
  std::uint32_t runtimeVersion = qx::skse::kRuntimeVersion_1_9_32_0;
  std::uint32_t isEditor = 0;
  std::uint32_t pluginHandle = 0x00000017;
  bool offersPapyrus = true;    // false: QueryInterface(2) gives null
  bool offersMessaging = true;  // false: QueryInterface(5) gives null
  int refusedRegistration = -1;  // the Papyrus Register call (from 0) that returns false; -1: none
};

struct RegisteredListener {
  std::uint32_t pluginHandle;
  std::string sender;
  qx::skse::MessageListener listener;
};

class ScriptExtender {
 public:
  static ScriptExtender& Instance();

  void Configure(const ScriptExtenderOptions& options);
  [[nodiscard]] const qx::skse::SKSEInterface* Interface() const { return &interface_; }
  [[nodiscard]] const ScriptExtenderOptions& Options() const { return options_; }

  // Delivers a message from "SKSE" to every listener registered for that sender.
  void Dispatch(std::uint32_t type, std::uintptr_t data = 0);

  // What the plugin asked of the script extender, in order.
  std::uint32_t pluginHandleRequests = 0;
  std::vector<std::uint32_t> interfaceQueries;
  std::uint32_t papyrusRegisterCalls = 0;
  std::vector<qx::skse::RegisterFunctionsCallback> papyrusRegistrations;  // the accepted ones
  std::vector<RegisteredListener> listeners;

  // The interface QueryInterface hands out for `id`, or null.
  [[nodiscard]] void* InterfaceFor(std::uint32_t id);

 private:
  ScriptExtender();

  ScriptExtenderOptions options_;
  qx::skse::SKSEInterface interface_{};
  qx::skse::SKSEPapyrusInterface papyrus_{};
  qx::skse::SKSEMessagingInterface messaging_{};
};

}  // namespace sim
