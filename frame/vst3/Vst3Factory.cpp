#include "frame/vst3/Vst3Factory.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "frame/vst3/IPlugVST3.h"
#include "frame/vst3/Vst3Text.h"

using namespace vst3;

namespace {
constexpr const char kSdkVersion[] = "VST 3.7.0";

template <size_t N>
void Copy(char (&out)[N], const char* text)
{
  CopyText(out, N, text);
}

void VersionText(int packed, char* out, size_t size)
{
  std::snprintf(out, size, "%d.%d.%d", packed >> 16, (packed >> 8) & 0xFF, packed & 0xFF);
}
}  // namespace

tresult Vst3Factory::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  const bool known = FUnknown::kIid.Is(iid) || IPluginFactory::kIid.Is(iid) || IPluginFactory2::kIid.Is(iid) ||
                     IPluginFactory3::kIid.Is(iid);
  *obj = known ? static_cast<IPluginFactory3*>(this) : nullptr;
  if (!known) return kNoInterface;
  addRef();
  return kResultOk;
}

tresult Vst3Factory::getFactoryInfo(PFactoryInfo* info)
{
  if (!info) return kInvalidArgument;
  *info = {};
  Copy(info->vendor, mClass.vendor);
  Copy(info->url, mClass.url);
  Copy(info->email, mClass.email);
  info->flags = PFactoryInfo::kUnicode;
  return kResultOk;
}

tresult Vst3Factory::getClassInfo(int32_t index, PClassInfo* info)
{
  if (index != 0 || !info) return kInvalidArgument;
  *info = {};
  std::memcpy(info->cid, mClass.classId.bytes, sizeof info->cid);
  info->cardinality = kManyInstances;
  Copy(info->category, kAudioModuleClass);
  Copy(info->name, mClass.name);
  return kResultOk;
}

tresult Vst3Factory::getClassInfo2(int32_t index, PClassInfo2* info)
{
  PClassInfo base{};
  if (!info || getClassInfo(index, &base) != kResultOk) return kInvalidArgument;
  *info = {};
  std::memcpy(info->cid, base.cid, sizeof info->cid);
  info->cardinality = base.cardinality;
  Copy(info->category, base.category);
  Copy(info->name, base.name);
  Copy(info->subCategories, mClass.subCategories);
  Copy(info->vendor, mClass.vendor);
  VersionText(mClass.version, info->version, sizeof info->version);
  Copy(info->sdkVersion, kSdkVersion);
  return kResultOk;
}

tresult Vst3Factory::getClassInfoUnicode(int32_t index, PClassInfoW* info)
{
  PClassInfo2 narrow{};
  if (!info || getClassInfo2(index, &narrow) != kResultOk) return kInvalidArgument;
  *info = {};
  std::memcpy(info->cid, narrow.cid, sizeof info->cid);
  info->cardinality = narrow.cardinality;
  Copy(info->category, narrow.category);
  Copy(info->subCategories, narrow.subCategories);
  vst3_text::ToUtf16(narrow.name, info->name, 64);
  vst3_text::ToUtf16(narrow.vendor, info->vendor, 64);
  vst3_text::ToUtf16(narrow.version, info->version, 64);
  vst3_text::ToUtf16(narrow.sdkVersion, info->sdkVersion, 64);
  return kResultOk;
}

// A new instance behind its adapter, as whichever of its interfaces the
// host asks for. Nothing may leave a C interface by exception.
tresult Vst3Factory::createInstance(FIDString cid, FIDString iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !iid || !mClass.classId.Is(cid)) return kInvalidArgument;
  try
  {
    auto* adapter = new IPlugVST3(std::unique_ptr<IPlugBase>(mClass.create()));
    const tresult found = adapter->queryInterface(iid, obj);
    static_cast<IComponent*>(adapter)->release();
    return found == kResultOk ? kResultOk : kNoInterface;
  }
  catch (...)
  {
    return kOutOfMemory;
  }
}
