#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/settings.h"

namespace {

using app::Settings;
using web::gbk;
namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("weihe-settings-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_path = m_dir / "配置文件.ini";
  }
  void TearDown() override { fs::remove_all(m_dir); }

  void write_raw(const std::string& bytes) { std::ofstream(m_path, std::ios::binary) << bytes; }
  std::string raw() {
    std::ifstream in(m_path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path m_dir;
  fs::path m_path;
};

TEST_F(SettingsFile, FirstStartReadsEmptyAndFirstWriteCreatesPrivateFile) {
  Settings s(m_path);
  EXPECT_EQ(s.read_setting(gbk("账号")), "");
  EXPECT_FALSE(fs::exists(m_path));

  ASSERT_TRUE(s.write_setting(gbk("账号"), gbk("蔚禾小店")));
  EXPECT_EQ(raw(), gbk("[配置项目]\r\n账号=蔚禾小店\r\n"));
  struct stat st {};
  ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(s.read_setting(gbk("账号")), gbk("蔚禾小店"));
  // The temporary file of the atomic write is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, ReplacingKeepsOtherLinesAndNewKeysEndTheirSection) {
  write_raw(
      gbk("; 手写的配置\r\n[配置项目]\r\n账号=a\r\n密码=b\r\n\r\n[hosts]\r\nbackoffice=x:1\r\n"));
  Settings s(m_path);
  ASSERT_TRUE(s.write_setting(gbk("账号"), gbk("新账号")));
  ASSERT_TRUE(s.write_setting(gbk("快递类型"), "yunda"));
  ASSERT_TRUE(s.write_setting("tracking", "y:2", "hosts"));
  ASSERT_TRUE(s.write_setting("k", "v", "third"));
  EXPECT_EQ(raw(),
            gbk("; 手写的配置\r\n[配置项目]\r\n账号=新账号\r\n密码=b\r\n快递类型=yunda\r\n\r\n"
                "[hosts]\r\nbackoffice=x:1\r\ntracking=y:2\r\n[third]\r\nk=v\r\n"));
}

TEST_F(SettingsFile, NamesMatchRegardlessOfAsciiCaseOnly) {
  write_raw("[Hosts]\r\nBackOffice=10.0.0.1:80\r\n");
  Settings s(m_path);
  EXPECT_EQ(s.read_setting("backoffice", "HOSTS"), "10.0.0.1:80");
  ASSERT_TRUE(s.write_setting("BACKOFFICE", "10.0.0.2:80", "hosts"));
  EXPECT_EQ(raw(), "[Hosts]\r\nBackOffice=10.0.0.2:80\r\n");

  // Two double-byte names whose trail bytes differ only as ASCII letters would.
  const std::string upper = "\xB0\x41", lower = "\xB0\x61";
  ASSERT_TRUE(s.write_setting(upper, "1"));
  EXPECT_EQ(s.read_setting(lower), "");
  EXPECT_EQ(s.read_setting(upper), "1");
}

TEST_F(SettingsFile, HandWrittenFilesAreRead) {
  write_raw(gbk("[配置项目]\r\n  账号 = 张三 \r\n密码=\"  有空格  \"\r\n快递100sky=abc=def\r\n"));
  Settings s(m_path);
  EXPECT_EQ(s.read_setting(gbk("账号")), gbk("张三"));
  EXPECT_EQ(s.read_setting(gbk("密码")), gbk("  有空格  "));
  EXPECT_EQ(s.read_setting(gbk("快递100sky")), "abc=def");
  EXPECT_EQ(s.read_setting(gbk("快递类型")), "");
  EXPECT_EQ(s.read_setting(gbk("账号"), "other"), "");

  write_raw(gbk("[配置项目]\n账号=lf-only\n"));  // LF line ends read as well
  EXPECT_EQ(s.read_setting(gbk("账号")), "lf-only");

  // A file whose last line ends in a bare CR: a new key gets a line of its
  // own, in its section and in a new one.
  fs::copy_file(fs::path(WEIHE_TEST_DATA) / "app" / "settings-last-line-ends-in-bare-cr.ini",
                m_path, fs::copy_options::overwrite_existing);
  ASSERT_TRUE(s.write_setting(gbk("账号"), "merchant"));
  EXPECT_EQ(s.read_setting(gbk("账号")), "merchant");
  EXPECT_EQ(s.read_setting(gbk("密码")), "abc");
  write_raw(gbk("[配置项目]\r\n密码=abc\r"));
  ASSERT_TRUE(s.write_setting("backoffice", "shop.example", "hosts"));
  EXPECT_EQ(s.read_setting("backoffice", "hosts"), "shop.example");
  EXPECT_EQ(s.read_setting(gbk("密码")), "abc");
}

TEST_F(SettingsFile, ValuesRoundTripExactlyAndCannotForgeEntries) {
  Settings s(m_path);
  for (const std::string& v :
       {std::string("  p@ss  "), std::string("\"quoted\""), std::string("a&b=c")}) {
    ASSERT_TRUE(s.write_setting(gbk("密码"), v));
    EXPECT_EQ(s.read_setting(gbk("密码")), v);
  }
  ASSERT_TRUE(s.write_setting(gbk("密码"), "secret"));
  // A line break in a value would otherwise start a forged entry.
  ASSERT_TRUE(s.write_setting(gbk("账号"), gbk("张三\r\n密码=hijack")));
  EXPECT_EQ(s.read_setting(gbk("账号")), gbk("张三"));
  EXPECT_EQ(s.read_setting(gbk("密码")), "secret");
}

TEST_F(SettingsFile, ReadsAreCutAtTheBufferSize) {
  Settings s(m_path);
  ASSERT_TRUE(s.write_setting("long", std::string(10239, 'x')));
  EXPECT_EQ(s.read_setting("long").size(), 10239u);
  ASSERT_TRUE(s.write_setting("long", std::string(20000, 'y')));
  EXPECT_EQ(s.read_setting("long"), std::string(10239, 'y'));
  // A double-byte character is not split at the cut.
  std::string chinese;
  while (chinese.size() < 10240) chinese += gbk("中");
  ASSERT_TRUE(s.write_setting("long", chinese));
  EXPECT_EQ(s.read_setting("long").size(), 10238u);
}

TEST_F(SettingsFile, UnwritablePlaceReportsFailure) {
  Settings s(m_dir / "missing-folder" / "配置文件.ini");
  EXPECT_FALSE(s.write_setting(gbk("账号"), "a"));
  EXPECT_EQ(s.read_setting(gbk("账号")), "");
}

TEST_F(SettingsFile, AnInstalledProgramKeepsItsSettingsInTheConfigFolder) {
  const fs::path beside = Settings::beside_program();
  if (fs::exists(beside)) GTEST_SKIP() << "a settings file lies beside the test program";
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", (m_dir / "cfg").c_str(), 1);
  EXPECT_EQ(Settings::default_path(""), beside);  // a build folder one can write to
  const fs::path installed = Settings::default_path(beside.parent_path());
  EXPECT_EQ(installed, m_dir / "cfg" / "weihe-orders" / "配置文件.ini");
  EXPECT_EQ(fs::status(installed.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
  ::unsetenv("XDG_CONFIG_HOME");  // then ~/.config
  ::setenv("HOME", m_dir.c_str(), 1);
  EXPECT_EQ(Settings::default_path(beside.parent_path()),
            m_dir / ".config" / "weihe-orders" / "配置文件.ini");
  ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
