#pragma once
// The script extender's records and interfaces, as it hands them to the plugin.
// Every routine in these records is cdecl: arguments on the stack, popped by the caller.
#include <cstddef>
#include <cstdint>

struct ScriptRegistry;  // the script VM's registry, handed to registration callbacks

namespace qx::skse {

inline constexpr std::uint32_t kRuntimeVersion_1_9_32_0 = 0x09200000;
inline constexpr std::uint32_t kInvalidPluginHandle = 0xFFFFFFFF;

enum InterfaceId : std::uint32_t {
  kInterface_Papyrus = 2,
  kInterface_Messaging = 5,
};

enum MessageType : std::uint32_t {
  kMessage_PostLoadGame = 3,  // data word non-zero after a successful load
  kMessage_DataLoaded = 8,
};

struct SKSEInterface {
  std::uint32_t skseVersion;                      // 00 not read
  std::uint32_t runtimeVersion;                   // 04
  std::uint32_t editorVersion;                    // 08 not read
  std::uint32_t isEditor;                         // 0C
  void* (*QueryInterface)(std::uint32_t id);      // 10
  std::uint32_t (*GetPluginHandle)();             // 14
};
static_assert(offsetof(SKSEInterface, runtimeVersion) == 0x04);
static_assert(offsetof(SKSEInterface, isEditor) == 0x0C);
static_assert(offsetof(SKSEInterface, QueryInterface) == 0x10);
static_assert(offsetof(SKSEInterface, GetPluginHandle) == 0x14);
static_assert(sizeof(SKSEInterface) == 0x18);

struct PluginInfo {
  enum : std::uint32_t { kInfoVersion = 1 };
  std::uint32_t infoVersion;  // 00
  const char* name;           // 04
  std::uint32_t version;      // 08
};
static_assert(offsetof(PluginInfo, name) == 0x04);
static_assert(offsetof(PluginInfo, version) == 0x08);
static_assert(sizeof(PluginInfo) == 0x0C);

using RegisterFunctionsCallback = bool (*)(ScriptRegistry* registry);

struct SKSEPapyrusInterface {
  std::uint32_t interfaceVersion;                    // 00 not read
  bool (*Register)(RegisterFunctionsCallback callback);  // 04
};
static_assert(offsetof(SKSEPapyrusInterface, Register) == 0x04);

struct SKSEMessage {
  const char* sender;      // 00
  std::uint32_t type;      // 04
  std::uint32_t dataLen;   // 08
  std::uintptr_t data;     // 0C
};
static_assert(offsetof(SKSEMessage, type) == 0x04);
static_assert(offsetof(SKSEMessage, data) == 0x0C);
static_assert(sizeof(SKSEMessage) == 0x10);

using MessageListener = void (*)(SKSEMessage* message);

struct SKSEMessagingInterface {
  std::uint32_t interfaceVersion;  // 00 not read
  bool (*RegisterListener)(std::uint32_t pluginHandle, const char* sender,
                           MessageListener listener);  // 04
  // later entries are not used by the plugin
};
static_assert(offsetof(SKSEMessagingInterface, RegisterListener) == 0x04);

}  // namespace qx::skse

// The two exports the script extender looks up by name.
extern "C" {
bool SKSEPlugin_Query(const qx::skse::SKSEInterface* skse, qx::skse::PluginInfo* info);
bool SKSEPlugin_Load(const qx::skse::SKSEInterface* skse);
}
