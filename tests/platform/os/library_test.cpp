#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/os/os.h"
#include "tests/platform/os/tempdir.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KIV_ASAN 1
#endif
#ifdef KIV_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

std::wstring W(const std::filesystem::path& p) { return os::fromUtf8(p.string()); }

// The probe library copied into an installation-like folder.
class Library : public ::testing::Test {
 protected:
  kivtest::TempDir t;
  std::filesystem::path sys = t.path() / "Suite" / "系统文件";
  void SetUp() override {
    std::filesystem::create_directories(sys);
    std::filesystem::copy_file(KIV_PROBE_LIB, sys / "Probe.Dll");
    std::filesystem::copy_file(KIV_PROBE_LIB, sys / "Other.dll");
    t.write("Suite/系统文件/NotALib.dll", "not an ELF file");
  }
  void TearDown() override { os::clearLibrarySearchDirs(); }
};

TEST_F(Library, LoadsByUpperCasedWindowsPathAndFindsFunctions) {
  std::wstring path = os::toUpper(W(t.path())) + L"\\SUITE\\系统文件\\PROBE.DLL";
  os::ModuleHandle h = os::loadLibrary(path);
  ASSERT_NE(h, nullptr) << os::lastError();
  auto answer = os::findFunction<int (*)()>(h, "probe_answer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(os::findFunction<int (*)(int, int)>(h, "probe_add")(2, 3), 5);
  EXPECT_EQ(os::findFunction(h, "no_such_function"), nullptr);
  EXPECT_FALSE(os::lastError().empty());

  // The file name is the one on disk, all separators backslashes, so the
  // caller can cut the installation folder at "\系统文件".
  std::wstring name = os::moduleFileName(h);
  EXPECT_EQ(name, os::windowsPath(sys / "Probe.Dll"));
  EXPECT_NE(os::toUpper(name).find(L"\\SUITE\\系统文件\\PROBE.DLL"), std::wstring::npos) << os::toUtf8(name);
  EXPECT_EQ(os::toUpper(name).find(L"/"), std::wstring::npos);
  EXPECT_TRUE(os::freeLibrary(h));
}

TEST_F(Library, RegistryByBaseNameCountsReferences) {
  EXPECT_EQ(os::moduleHandle(L"Probe.Dll"), nullptr);  // not loaded yet
  os::addLibrarySearchDir(W(t.path()) + L"\\SUITE\\系统文件");
  os::ModuleHandle h = os::loadLibrary(L"probe.dll");  // bare name via the search folder
  ASSERT_NE(h, nullptr) << os::lastError();
  EXPECT_EQ(os::moduleHandle(L"PROBE.DLL"), h);
  EXPECT_EQ(os::moduleHandle(W(sys / "probe.dll")), h);
  EXPECT_EQ(os::loadLibrary(L"Probe.Dll"), h);             // second reference
  EXPECT_EQ(os::loadLibrary(W(sys / "PROBE.DLL")), h);    // third, by path
  EXPECT_EQ(os::loadedLibraries().size(), 1u);

  auto* loads = os::findFunction<int*>(h, "probe_loads");
  ASSERT_NE(loads, nullptr);
  EXPECT_EQ(*loads, 1);  // initialised once

  EXPECT_TRUE(os::freeLibrary(h));
  EXPECT_TRUE(os::freeLibrary(h));
  EXPECT_EQ(os::moduleHandle(L"probe.dll"), h);  // one reference left
  EXPECT_TRUE(os::freeLibrary(h));
  EXPECT_EQ(os::moduleHandle(L"probe.dll"), nullptr);
  EXPECT_FALSE(os::freeLibrary(h));  // no longer loaded
  EXPECT_EQ(os::findFunction(h, "probe_answer"), nullptr);
  EXPECT_EQ(os::moduleFileName(h), L"");
}

TEST_F(Library, TwoFilesAreTwoModules) {
  os::ModuleHandle a = os::loadLibrary(W(sys / "Probe.Dll"));
  os::ModuleHandle b = os::loadLibrary(W(sys / "Other.dll"));
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_EQ(os::moduleHandle(L"other.DLL"), b);
  // A library finds its own handle from one of its addresses.
  EXPECT_EQ(os::moduleOfAddress(os::findFunction(b, "probe_answer")), b);
  EXPECT_EQ(os::moduleOfAddress(reinterpret_cast<const void*>(&os::loadLibrary)), nullptr);
  os::freeLibrary(a);
  os::freeLibrary(b);
}

TEST_F(Library, FunctionsFoundAgainFollowTheModuleAndTheName) {
  // Found twice, so that the second finding is a remembered one.
  os::ModuleHandle a = os::loadLibrary(W(sys / "Probe.Dll"));
  ASSERT_NE(a, nullptr);
  void* inA = os::findFunction(a, "probe_answer");
  ASSERT_EQ(os::findFunction(a, "probe_answer"), inA);
  EXPECT_EQ(os::moduleOfAddress(inA), a);

  // The same buffer naming another function finds that one.
  char name[32] = "probe_answer";
  EXPECT_EQ(os::findFunction(a, name), inA);
  std::snprintf(name, sizeof name, "%s", "probe_add");
  EXPECT_EQ(os::findFunction<int (*)(int, int)>(a, name)(2, 3), 5);

  // Once the module is gone its functions are not found, even when the next
  // library loaded gets the same handle.
  ASSERT_TRUE(os::freeLibrary(a));
  EXPECT_EQ(os::findFunction(a, "probe_answer"), nullptr);
  os::ModuleHandle b = os::loadLibrary(W(sys / "Other.dll"));
  ASSERT_NE(b, nullptr);
  void* inB = os::findFunction(b, "probe_answer");
  ASSERT_NE(inB, nullptr);
  EXPECT_EQ(os::moduleOfAddress(inB), b);
  EXPECT_EQ(os::findFunction(b, "probe_answer"), inB);
  os::freeLibrary(b);
}

TEST_F(Library, FailuresGiveNullAndAReason) {
  struct Case {
    std::wstring name;
  } cases[] = {{L""}, {L"Missing.dll"}, {W(sys / "Missing.dll")}, {W(sys / "NotALib.dll")}};
  for (const auto& c : cases) {
    EXPECT_EQ(os::loadLibrary(c.name), nullptr) << os::toUtf8(c.name);
    EXPECT_FALSE(os::lastError().empty());
  }
  EXPECT_TRUE(os::loadedLibraries().empty());
  EXPECT_EQ(os::findFunction(nullptr, "x"), nullptr);
  EXPECT_FALSE(os::freeLibrary(nullptr));
}

// Each thread that touches a loaded library's thread-local data gets its own
// block of it from the heap. A sanitized program's leak check must get past
// hundreds of such blocks, wherever the heap placed them (one placed 16 bytes
// past a page boundary used to send the check's scan to a near-null address).
TEST_F(Library, LeakCheckGetsPastTheThreadBlocksOfALoadedLibrary) {
#ifndef KIV_ASAN
  GTEST_SKIP() << "only a sanitized build has the leak check";
#else
  os::ModuleHandle h = os::loadLibrary(W(sys / "Probe.Dll"));
  ASSERT_NE(h, nullptr);
  auto keep = reinterpret_cast<int (*)(int)>(os::findFunction(h, "probe_keep_text"));
  ASSERT_NE(keep, nullptr);

  constexpr int kThreads = 512;
  std::mutex m;
  std::condition_variable cv;
  int ready = 0;
  bool done = false;
  std::vector<int> lengths(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      lengths[i] = keep(40 + i % 7);
      std::unique_lock<std::mutex> lock(m);
      ++ready;
      cv.notify_all();
      cv.wait(lock, [&] { return done; });  // the block lives until the check is over
    });
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return ready == kThreads; });
  }
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(lengths[i], 40 + i % 7);
  os::freeLibrary(h);
#endif
}

TEST(Program, HandleAndFileName) {
  os::ModuleHandle p = os::programModule();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(os::moduleHandle(L""), p);
  EXPECT_EQ(os::moduleFileName(p), os::programPath());
  EXPECT_EQ(os::moduleFileName(nullptr), os::programPath());
  EXPECT_FALSE(os::freeLibrary(p));
}

}  // namespace
