#include <gtest/gtest.h>

#include <filesystem>

#include "tests/unit/FileTestSupport.h"
#include "tools/Sha256.h"
#include "tools/SymbolMap.h"

namespace {

using qxtools::FindModuleOffsets;
using qxtools::ParseOffset;
using qxtools::ParseSymbolMap;
using qxtools::SymbolMap;

// The map of a DLL whose whole content is "abc", without its last line, which counts its
// functions.
constexpr std::string_view kMapBody =
    "# comment\n"
    "version\t1.2.3\n"
    "module\tQXKit.dll\n"
    "size\t3\n"
    "sha256\tba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n"
    "code\t00001000\t00003000\n"
    "00001000\tpre_c_init\n"
    "00001750\tSKSEPlugin_Load\tplugin/Exports.cpp:72\r\n"
    "00001890\tqx::ParseInt(std::string)\tsettings/IniConverters.cpp:16\n";
const std::string kMap = std::string(kMapBody) + "end\t3\n";

SymbolMap Map() {
  std::string error;
  auto map = ParseSymbolMap(kMap, error);
  EXPECT_TRUE(map) << error;
  return map.value_or(SymbolMap{});
}

TEST(Sha256, KnownDigestsAcrossThePaddingBlockBoundary) {
  EXPECT_EQ(qxtools::Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(qxtools::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the last block, so the padding takes another.
  EXPECT_EQ(qxtools::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(qxtools::Sha256Hex(std::string(1000, 'a')),
            "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

TEST(SymbolMap, OffsetsResolveToTheFunctionHoldingThem) {
  SymbolMap map = Map();
  EXPECT_EQ(map.version, "1.2.3");
  EXPECT_EQ(DescribeOffset(map, 0x1750), "QXKit.dll+00001750  SKSEPlugin_Load+0x0  plugin/Exports.cpp:72");
  EXPECT_EQ(DescribeOffset(map, 0x188F), "QXKit.dll+0000188F  SKSEPlugin_Load+0x13F  plugin/Exports.cpp:72");
  EXPECT_EQ(DescribeOffset(map, 0x1020), "QXKit.dll+00001020  pre_c_init+0x20");
  // The last function runs to the end of the code, and nothing beyond it is code.
  EXPECT_EQ(DescribeOffset(map, 0x2FFF), "QXKit.dll+00002FFF  qx::ParseInt(std::string)+0x176F  settings/IniConverters.cpp:16");
  for (std::uint32_t notCode : {0x0u, 0xFFFu, 0x3000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(qxtools::FunctionAt(map, notCode), nullptr) << notCode;
  }
  EXPECT_EQ(DescribeOffset(map, 0x3000), "QXKit.dll+00003000  not in the DLL's code (00001000..00003000)");
}

TEST(SymbolMap, IncompleteOrDisorderedMapsAreRefused) {
  std::string error;
  EXPECT_FALSE(ParseSymbolMap("", error));
  std::string map(kMapBody);
  EXPECT_FALSE(ParseSymbolMap(map + "00001800\tbefore the last\nend\t4\n", error));
  EXPECT_EQ(error, "line 10: functions out of order");
  EXPECT_FALSE(ParseSymbolMap(map + "00002000\nend\t4\n", error));
  EXPECT_FALSE(ParseSymbolMap(map + "QXKit.dll+1\tname\nend\t4\n", error));
  EXPECT_FALSE(ParseSymbolMap(std::string(kMap.substr(0, kMap.find("code"))), error));
  EXPECT_EQ(error, "not a whole symbol map (module, code range, fingerprint or functions missing)");
  // Cut short, its count wrong, or lines after it: every later offset would be named as the
  // last function left.
  EXPECT_FALSE(ParseSymbolMap(kMap.substr(0, kMap.find("00001890")), error));
  EXPECT_FALSE(ParseSymbolMap(map + "end\t2\n", error));
  EXPECT_FALSE(ParseSymbolMap(kMap + "00002000\tafter the end\n", error));
}

TEST(SymbolMap, AddressArgumentsWithOrWithoutTheModule) {
  EXPECT_EQ(ParseOffset("QXKit.dll+0001A2B3", "QXKit.dll"), 0x1A2B3u);
  EXPECT_EQ(ParseOffset("qxkit.DLL+0x1a2b3", "QXKit.dll"), 0x1A2B3u);
  EXPECT_EQ(ParseOffset("1A2B3", "QXKit.dll"), 0x1A2B3u);
  EXPECT_EQ(ParseOffset("0xFFFFFFFF", "QXKit.dll"), 0xFFFFFFFFu);
  // Not ours, too long for a 32-bit module, or a file name.
  for (std::string_view notOurs : {"SkyUI.dll+1A2B3", "100000000", "crash.log", "QXKit.dll+", "", "0x"}) {
    EXPECT_FALSE(ParseOffset(notOurs, "QXKit.dll")) << notOurs;
  }
}

TEST(SymbolMap, CrashLogAddressesAreFoundOnceEachInOrder) {
  constexpr std::string_view kLog =
      "Unhandled exception \"EXCEPTION_ACCESS_VIOLATION\" at 0x6DBC1753 QXKit.dll+0001753\n"
      "PROBABLE CALL STACK:\n"
      "\t[0] 0x6DBC1753 QXKit.dll+0001753 -> SkyrimSE.exe+0012345\n"
      "\t[1] 0x6DBC18A0 qxkit.dll+0x18A0\r\n"
      "\t[2] 0x1234 MyQXKit.dll+0002000 QXKit.dll.bak+0002100 QXKit.dll+00021zz\n"
      "\t[3] 0x6DBC2000 C:\\Games\\Data\\SKSE\\Plugins\\QXKit.dll+00002000";
  EXPECT_EQ(FindModuleOffsets(kLog, "QXKit.dll"), (std::vector<std::uint32_t>{0x1753, 0x18A0, 0x2000}));
  EXPECT_TRUE(FindModuleOffsets("QXKit.dll+", "QXKit.dll").empty());
  EXPECT_EQ(FindModuleOffsets("QXKit.dll+1", "QXKit.dll"), std::vector<std::uint32_t>{1});
}

// An argument that names an existing file is a crash log, whatever its name looks like.
TEST(SymbolMap, AFileNamedLikeAnOffsetIsRead) {
  const std::filesystem::path folder = qxtest::MakeTemporaryFolder(), before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  qxtest::WriteBytes("QXKit.map", kMap);
  qxtest::WriteBytes("cafe", "[0] 0x6DBC1750 QXKit.dll+00001750\n");
  EXPECT_EQ(qxtools::RunWhere({"--map", "QXKit.map", "cafe"}), 0) << "0xCAFE lies outside the code";
  std::filesystem::current_path(before);
  std::filesystem::remove_all(folder);
}

TEST(SymbolMap, FingerprintIsSizeAndHash) {
  SymbolMap map = Map();
  EXPECT_EQ(FingerprintMismatch(map, "abc"), "");
  EXPECT_EQ(FingerprintMismatch(map, "abcd"), "it has 4 bytes, the map's DLL 3");
  EXPECT_EQ(FingerprintMismatch(map, "abd"), "its SHA-256 differs from the map's DLL");
}

}  // namespace
