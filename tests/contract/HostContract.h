// The host contract: one set of expectations that every host meets (the in-memory double,
// the POSIX emulation and the Win32 host under Wine), so that they cannot drift apart.
// Each test binary defines the hosts it runs and instantiates the suite over them; the
// expectations are the script tests/contract/contract.txt.
// No expectation depends on the host: where the emulation and Windows (as Wine shows it)
// differed, the emulation was changed to do what Windows does, and where Wine let through
// what Windows refuses, the Win32 host checks first.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "Platform/Host.h"

namespace Ferrowind {

// Every host starts with the folder Root() and this user key (so also its parents).
inline const std::string ContractKey = "Software\\Ferrowind Contract\\App\\Palette";

class THostUnderTest {
 public:
  virtual ~THostUnderTest() = default;
  virtual THost& Host() = 0;
  virtual std::string Root() = 0;  // a folder, named with "\" separators
  // Makes a file (and its folders) behind the host's back.
  virtual void PutFile(const std::string& relative, const std::string& data) = 0;
  std::string At(const std::string& relative) { return Root() + "\\" + relative; }
};

struct THostParam {
  const char* Name;
  std::function<std::unique_ptr<THostUnderTest>()> Make;
  // A failure names the host, not the bytes of this struct.
  friend void PrintTo(const THostParam& param, std::ostream* out) { *out << param.Name; }
};

// The script's hosts: each section makes a fresh one.
class HostContract : public ::testing::TestWithParam<THostParam> {};

// Names each instance after its host, so a failure names the host as well as the test.
inline std::string HostName(const ::testing::TestParamInfo<THostParam>& info) { return info.param.Name; }

}  // namespace Ferrowind
