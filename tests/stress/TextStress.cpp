// The text functions from one thread beside everything else: template filling, splitting
// and hexadecimal conversions, each checked against its known answer.
#include <cstdio>
#include <string>

#include "tests/stress/Stress.h"

namespace stress::text {
namespace {

constexpr const char* kClass = "QXStringUtil";

void Expect(const std::string& got, const std::string& wanted, const char* function) {
  if (got != wanted) Fail("%s gave '%.60s', not '%.60s'", function, got.c_str(), wanted.c_str());
}

}  // namespace

void Work(const Worker& worker, const Run& run) {
  for (std::uint32_t step = 0; !run.Over(); ++step) {
    // The game interns every text for good: a bounded set of them keeps the run's memory flat.
    std::uint32_t value = step % 4096;
    std::string number = std::to_string(value);
    ScriptValue values = Vm::StringArray({number, "b"});
    Expect(TextCall(kClass, "FormatStr", {Vm::String("%0s-%1s"), values}), number + "-b", "FormatStr");

    ScriptValue pieces = Vm::CallNative(kClass, "Split", {Vm::String(number + ",x,,y"), Vm::String(",")});
    std::vector<std::string> texts = Vm::Texts(pieces);
    Vm::Release(pieces);
    if (texts != std::vector<std::string>{number, "x", "y"}) Fail("Split of '%s,x,,y' went wrong", number.c_str());

    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    Expect(TextCall(kClass, "DecToHex", {Vm::Int(static_cast<std::int32_t>(value)), Vm::Int(4)}), hex, "DecToHex");
    if (static_cast<std::uint32_t>(IntCall(kClass, "HexToDec", {Vm::String(hex)})) != value) {
      Fail("HexToDec of %s went wrong", hex);
    }
    Mine().textCalls += 4;
    EndStep(worker.thread);
  }
}

}  // namespace stress::text
