#include "sim/ScriptExtender.h"

namespace sim {
namespace {

void* QueryInterface(std::uint32_t id) {
  ScriptExtender& skse = ScriptExtender::Instance();
  skse.interfaceQueries.push_back(id);
  return skse.InterfaceFor(id);
}

std::uint32_t GetPluginHandle() {
  ScriptExtender& skse = ScriptExtender::Instance();
  ++skse.pluginHandleRequests;
  return skse.Options().pluginHandle;
}

bool RegisterPapyrus(qx::skse::RegisterFunctionsCallback callback) {
  ScriptExtender& skse = ScriptExtender::Instance();
  int call = static_cast<int>(skse.papyrusRegisterCalls++);
  if (call == skse.Options().refusedRegistration) return false;  // the callback is dropped
  skse.papyrusRegistrations.push_back(callback);
  return true;
}

bool RegisterListener(std::uint32_t pluginHandle, const char* sender,
                      qx::skse::MessageListener listener) {
  ScriptExtender::Instance().listeners.push_back(
      {pluginHandle, sender != nullptr ? sender : "", listener});
  return true;
}

}  // namespace

ScriptExtender& ScriptExtender::Instance() {
  static ScriptExtender instance;
  return instance;
}

ScriptExtender::ScriptExtender() {
  interface_.skseVersion = 0x01070030;
  interface_.QueryInterface = &QueryInterface;
  interface_.GetPluginHandle = &GetPluginHandle;
  papyrus_.interfaceVersion = 1;
  papyrus_.Register = &RegisterPapyrus;
  messaging_.interfaceVersion = 1;
  messaging_.RegisterListener = &RegisterListener;
  Configure(options_);
}

void ScriptExtender::Configure(const ScriptExtenderOptions& options) {
  options_ = options;
  interface_.runtimeVersion = options.runtimeVersion;
  interface_.isEditor = options.isEditor;
}

void* ScriptExtender::InterfaceFor(std::uint32_t id) {
  if (id == qx::skse::kInterface_Papyrus && options_.offersPapyrus) return &papyrus_;
  if (id == qx::skse::kInterface_Messaging && options_.offersMessaging) return &messaging_;
  return nullptr;
}

void ScriptExtender::Dispatch(std::uint32_t type, std::uintptr_t data) {
  qx::skse::SKSEMessage message{"SKSE", type, data != 0 ? 4u : 0u, data};
  for (const RegisteredListener& entry : listeners) {
    if (entry.sender == "SKSE") entry.listener(&message);
  }
}

}  // namespace sim
