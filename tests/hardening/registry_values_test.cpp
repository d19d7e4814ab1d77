// Registry values of the wrong type, empty, of 259 to 261 bytes, of many
// kilobytes, and paths of 250 to 259 characters, in every registry value the
// program reads: each read while both Clear runs go through the tasks that use
// it, with the message boxes answered Yes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardening/exercises.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

struct ValueKind {
    std::string name;
    DWORD type;
    std::string bytes;
    std::string cutBystander;   // a folder a value cut at 259 characters would name
};

struct ValueParam {
    ValueSite site;
    ValueKind kind;
};

void PrintTo(const ValueParam& param, std::ostream* out)
{
    *out << param.site.name << " = " << param.kind.name;
}

std::string WithNul(const std::string& text) { return text + '\0'; }

// "C:\wipora-hardening\cases\bl\bbb..." of exactly length characters.
std::string PathText(size_t length, char fill = 'b')
{
    std::string text = std::string(kRoot) + "\\cases\\bl\\";
    text.append(length - text.size(), fill);
    return text;
}

ValueKind Kind(std::string name, DWORD type, std::string bytes, std::string cut = "")
{
    return {std::move(name), type, std::move(bytes), std::move(cut)};
}

std::vector<ValueKind> WrongTypeKinds(bool forByte)
{
    if (forByte) {
        return {
            Kind("StringTwo", REG_SZ, WithNul("2")),
            Kind("DwordTwo", REG_DWORD, Dword(2)),
            Kind("BinaryEightBytes", REG_BINARY, std::string(8, '\2')),
        };
    }
    std::string utf16;
    for (char c : std::string("C:\\windows")) utf16 += std::string(1, c) + '\0';
    utf16 += std::string(2, '\0');
    return {
        Kind("DwordSpellingDriveRoot", REG_DWORD, Dword(0x005C3A43)),   // "C:\"
        Kind("DwordZero", REG_DWORD, Dword(0)),
        Kind("BinaryWindowsNoTerminator", REG_BINARY, "C:\\windows"),
        Kind("MultiStringDriveRoot", REG_MULTI_SZ, std::string("C:\\\0windows\0\0", 13)),
        Kind("Utf16Windows", REG_BINARY, utf16),
        Kind("ExpandStringSystemRoot", REG_EXPAND_SZ, WithNul("%SystemRoot%")),
    };
}

std::vector<ValueKind> EmptyKinds()
{
    return {
        Kind("StringTerminatorOnly", REG_SZ, std::string(1, '\0')),
        Kind("StringZeroLength", REG_SZ, ""),
        Kind("BinaryZeroLength", REG_BINARY, ""),
    };
}

// Exactly 259, 260 and 261 bytes of data, with and without a terminator.
std::vector<ValueKind> BoundaryKinds()
{
    std::vector<ValueKind> kinds;
    for (size_t bytes : {259u, 260u, 261u}) {
        std::string withNul = PathText(bytes - 1);
        std::string noNul = PathText(bytes);
        kinds.push_back(Kind("Sz" + std::to_string(bytes) + "WithTerminator", REG_SZ,
                             WithNul(withNul), withNul.size() > 259 ? withNul.substr(0, 259) : ""));
        kinds.push_back(Kind("Sz" + std::to_string(bytes) + "NoTerminator", REG_SZ, noNul,
                             noNul.size() > 259 ? noNul.substr(0, 259) : ""));
    }
    return kinds;
}

std::vector<ValueKind> HugeKinds()
{
    std::vector<ValueKind> kinds;
    for (size_t kb : {4u, 64u}) {
        std::string text = "C:\\windows\\";
        text.append(kb * 1024 - text.size() - 1, 'h');
        kinds.push_back(Kind("Sz" + std::to_string(kb) + "KB", REG_SZ, WithNul(text),
                             text.substr(0, 259)));
    }
    kinds.push_back(Kind("Binary8KB", REG_BINARY, std::string(8192, 'C')));
    return kinds;
}

// A path of length characters that fits the site: a fixture folder for a
// folder value, a file in one for a file value.
std::string LongValue(const ValueSite& site, int length)
{
    std::string name = site.name;
    if (site.isFolder) return LongFolder(length);
    if (name == "ProgramGroup") return std::string(length, 'g');
    if (name == "AppPathsIexplore") return LongFile(length, "IEXPLORE.EXE");
    if (name == "InprocServer32WebToHost") return LongFile(length, "OVW2H32.OCX");
    if (name == "InprocServer32") return LongFile(length, "KQ3D.OCX");
    return LongFile(length, "OV3270.EXE");   // the open command
}

std::vector<ValueParam> Cross(const std::vector<ValueSite>& sites,
                              const std::vector<ValueKind>& kinds)
{
    std::vector<ValueParam> params;
    for (const ValueSite& site : sites)
        for (const ValueKind& kind : kinds) params.push_back({site, kind});
    return params;
}

std::vector<ValueParam> WrongTypeParams()
{
    std::vector<ValueParam> params = Cross(StringSites(), WrongTypeKinds(false));
    std::vector<ValueParam> bytes = Cross(ByteSites(), WrongTypeKinds(true));
    params.insert(params.end(), bytes.begin(), bytes.end());
    return params;
}

std::vector<ValueParam> LongPathParams()
{
    std::vector<ValueParam> params;
    for (const ValueSite& site : StringSites())
        for (int length = 250; length <= 259; ++length)
            params.push_back({site, Kind("Path" + std::to_string(length), REG_SZ,
                                         WithNul(LongValue(site, length)))});
    return params;
}

std::string ParamName(const ::testing::TestParamInfo<ValueParam>& info)
{
    return std::string(info.param.site.name) + "_" + info.param.kind.name;
}

class ValueCase : public ParamCase<ValueParam> {
protected:
    void Exercise()
    {
        const ValueParam& param = GetParam();
        SiteValueGuard guard(param.site);
        PrepareSite(param.site);
        if (!param.kind.cutBystander.empty() && param.site.isFolder)
            AddBystander(param.kind.cutBystander, true);
        PlantValue(param.site, param.kind.type, param.kind.bytes);
        RunTasksBothPasses(param.site.switches);
    }
};

class WrongType : public ValueCase {};
class EmptyValue : public ValueCase {};
class BoundaryLength : public ValueCase {};
class HugeValue : public ValueCase {};
class LongPath : public ValueCase {};

TEST_P(WrongType, EndsAndHarmsNoBystander) { Exercise(); }
TEST_P(EmptyValue, EndsAndHarmsNoBystander) { Exercise(); }
TEST_P(BoundaryLength, EndsAndHarmsNoBystander) { Exercise(); }
TEST_P(HugeValue, EndsAndHarmsNoBystander) { Exercise(); }
TEST_P(LongPath, EndsAndHarmsNoBystander) { Exercise(); }

INSTANTIATE_TEST_SUITE_P(Registry, WrongType, ::testing::ValuesIn(WrongTypeParams()), ParamName);
INSTANTIATE_TEST_SUITE_P(Registry, EmptyValue,
                         ::testing::ValuesIn(Cross(ValueSites(), EmptyKinds())), ParamName);
INSTANTIATE_TEST_SUITE_P(Registry, BoundaryLength,
                         ::testing::ValuesIn(Cross(ValueSites(), BoundaryKinds())), ParamName);
INSTANTIATE_TEST_SUITE_P(Registry, HugeValue, ::testing::ValuesIn(Cross(ValueSites(), HugeKinds())),
                         ParamName);
INSTANTIATE_TEST_SUITE_P(Registry, LongPath, ::testing::ValuesIn(LongPathParams()), ParamName);

}  // namespace
}  // namespace hardening
