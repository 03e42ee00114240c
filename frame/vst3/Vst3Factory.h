#pragma once
// The module's VST3 factory: one class, an instrument, whose instances are
// the plug-in behind the VST3 adapter.
#include <atomic>

#include "frame/IPlugBase.h"
#include "platform/vst3abi.h"

struct Vst3ClassDescription
{
  const char* vendor;
  const char* url;
  const char* email;
  vst3::Uid classId;
  const char* name;
  const char* subCategories;  // "Instrument|Sampler" and the like
  int version;                // packed 0xMMMMRRPP
  IPlugBase* (*create)();     // null when there is not enough memory
};

class Vst3Factory final : public vst3::IPluginFactory3
{
public:
  explicit Vst3Factory(const Vst3ClassDescription& description) : mClass(description) {}

  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override;
  // The factory lives as long as the module: references are counted, never freed.
  uint32_t addRef() override { return ++mRefs; }
  uint32_t release() override { return --mRefs; }

  vst3::tresult getFactoryInfo(vst3::PFactoryInfo* info) override;
  int32_t countClasses() override { return 1; }
  vst3::tresult getClassInfo(int32_t index, vst3::PClassInfo* info) override;
  vst3::tresult createInstance(vst3::FIDString cid, vst3::FIDString iid, void** obj) override;
  vst3::tresult getClassInfo2(int32_t index, vst3::PClassInfo2* info) override;
  vst3::tresult getClassInfoUnicode(int32_t index, vst3::PClassInfoW* info) override;
  vst3::tresult setHostContext(vst3::FUnknown*) override { return vst3::kResultOk; }

private:
  const Vst3ClassDescription mClass;
  std::atomic<uint32_t> mRefs{0};
};
