#include "platform/CHive.h"
#include "platform/CRegText.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kServers = "Software\\Hollowfen\\Gleanwick\\Servers";

std::vector<std::string> SubkeyNames(const CHive& hive, const std::string& key) {
    std::vector<std::string> names;
    for (size_t i = 0; auto name = hive.EnumKey(key, i); ++i) {
        names.push_back(*name);
    }
    return names;
}

std::vector<std::string> ValueNames(const CHive& hive, const std::string& key) {
    std::vector<std::string> names;
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(key, i); ++i) {
        names.push_back(value->name);
    }
    return names;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HiveTest, EveryValueTypeAndOddNamesSurviveSaveAndLoad) {
    TempFolder dir;
    const std::string path = dir / "HKCU.reg";
    const std::string binary("\x00\x01\xff\x7f", 4);
    const std::string longBinary(300, '\xab');
    {
        CHive hive;
        EXPECT_EQ(hive.Load(path), CHive::LoadResult::Missing);
        hive.SetDword(kServers, "Port", 119);
        hive.SetDword(kServers, "Max", 4294967295u);
        hive.SetString(kServers, "Login User", "na\"me\\with \\\\ odd\tbytes \xe9");
        hive.SetString(kServers, "Multi", std::string("line one\r\nline two\0three", 24));
        hive.SetString(kServers, "Empty", "");
        hive.SetBinary(kServers, "Blob", binary);
        hive.SetBinary(kServers, "Long", longBinary);
        hive.SetBinary(kServers, "None", "");
        hive.SetValue(kServers, "Multi-sz", 7, std::string("a\0\0\0", 4));
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "image/jpeg", 1);
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "a \"quoted\" \\name\\=x", 0);
        hive.SetString("Software\\Hollowfen\\Gleanwick\\Mime", "", "default");
        hive.CreateKey("Software\\Empty Key [x]");
        ASSERT_TRUE(hive.Save()) << hive.LastError();
    }
    CHive hive;
    ASSERT_EQ(hive.Load(path), CHive::LoadResult::Loaded);
    EXPECT_EQ(hive.GetDword(kServers, "Port"), 119u);
    EXPECT_EQ(hive.GetDword(kServers, "Max"), 4294967295u);
    EXPECT_EQ(hive.GetString(kServers, "Login User"), "na\"me\\with \\\\ odd\tbytes \xe9");
    EXPECT_EQ(hive.GetString(kServers, "Multi"), std::string("line one\r\nline two\0three", 24));
    EXPECT_EQ(hive.GetString(kServers, "Empty"), "");
    EXPECT_EQ(hive.GetBinary(kServers, "Blob"), binary);
    EXPECT_EQ(hive.GetBinary(kServers, "Long"), longBinary);
    EXPECT_EQ(hive.GetBinary(kServers, "None"), "");
    const CHive::Value* multi = hive.QueryValue(kServers, "Multi-sz");
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->type, 7u);
    EXPECT_EQ(multi->data, std::string("a\0\0\0", 4));
    EXPECT_EQ(hive.GetDword("Software\\Hollowfen\\Gleanwick\\Mime", "image/jpeg"), 1u);
    EXPECT_EQ(hive.GetDword("Software\\Hollowfen\\Gleanwick\\Mime", "a \"quoted\" \\name\\=x"), 0u);
    EXPECT_EQ(hive.GetString("Software\\Hollowfen\\Gleanwick\\Mime", ""), "default");
    EXPECT_TRUE(hive.KeyExists("Software\\Empty Key [x]"));
    EXPECT_FALSE(hive.IsModified());
    // A second write of the loaded store gives the same text.
    EXPECT_EQ(CRegText::Serialize(hive), ReadFile(path));
}

TEST(HiveTest, FileHasTheExportLayout) {
    CHive hive;
    hive.SetDword("Software\\Hollowfen\\Gleanwick\\Servers\\news.example.com", "Port", 0x77);
    hive.SetString("Software\\Hollowfen\\Gleanwick\\Servers\\news.example.com", "Login User",
                   "a\\b");
    hive.SetBinary("Software\\Hollowfen\\Gleanwick\\Bars", "x", "\x01\x02");
    EXPECT_EQ(CRegText::Serialize(hive),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Hollowfen]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Bars]\n"
              "\"x\"=hex:01,02\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers"
              "\\news.example.com]\n"
              "\"Port\"=dword:00000077\n"
              "\"Login User\"=\"a\\\\b\"\n"
              "\n");
}

TEST(HiveTest, OtherValueTypesKeepTheirHexadecimalTypeNumber) {
    CHive hive;
    hive.SetValue("Software\\T", "q", 0x0b, std::string(8, '\x01'));
    const std::string text = CRegText::Serialize(hive);
    EXPECT_NE(text.find("\"q\"=hex(b):01,01,01,01,01,01,01,01\n"), std::string::npos) << text;
    CHive parsed;
    std::string error;
    ASSERT_TRUE(CRegText::Parse(text, parsed, error)) << error;
    EXPECT_EQ(parsed.QueryValue("Software\\T", "q")->type, 0x0bu);
}

TEST(HiveTest, NamesCompareWithoutCaseAndKeepTheirCase) {
    CHive hive;
    hive.SetDword("Software\\Servers\\News.Example.COM", "Port", 119);
    hive.SetDword("Software\\Servers\\News.Example.COM", "Timeout", 30000);
    EXPECT_TRUE(hive.KeyExists("SOFTWARE\\servers\\news.example.com"));
    EXPECT_EQ(hive.GetDword("software\\SERVERS\\news.EXAMPLE.com", "PORT"), 119u);

    // Writing through another spelling updates the same value in place.
    hive.SetDword("software\\servers\\NEWS.EXAMPLE.COM", "port", 120);
    EXPECT_EQ(SubkeyNames(hive, "Software\\Servers"), std::vector<std::string>{"News.Example.COM"});
    EXPECT_EQ(ValueNames(hive, "Software\\Servers\\News.Example.COM"),
              (std::vector<std::string>{"Port", "Timeout"}));
    EXPECT_EQ(hive.GetDword("Software\\Servers\\News.Example.COM", "Port"), 120u);

    // Doubled and outer separators name the same key.
    EXPECT_TRUE(hive.KeyExists("\\Software\\\\Servers\\"));
}

TEST(HiveTest, SubkeysEnumerateByNameValuesByCreation) {
    CHive hive;
    for (const char* name : {"zeta", "Beta", "alpha", "ALPHA2", "b", "_x", "Zed"}) {
        hive.CreateKey(std::string("Root\\") + name);
    }
    EXPECT_EQ(SubkeyNames(hive, "Root"),
              (std::vector<std::string>{"_x", "alpha", "ALPHA2", "b", "Beta", "Zed", "zeta"}));
    for (const char* name : {"z", "a", "M", "b"}) {
        hive.SetDword("Root", name, 1);
    }
    EXPECT_EQ(ValueNames(hive, "Root"), (std::vector<std::string>{"z", "a", "M", "b"}));
    EXPECT_TRUE(hive.DeleteValue("Root", "A"));
    EXPECT_EQ(ValueNames(hive, "Root"), (std::vector<std::string>{"z", "M", "b"}));
    // Values after the deleted one are still found, and rewriting keeps their place.
    hive.SetDword("Root", "B", 2);
    hive.SetDword("Root", "a", 3);
    EXPECT_EQ(ValueNames(hive, "Root"), (std::vector<std::string>{"z", "M", "b", "a"}));
    EXPECT_EQ(hive.GetDword("Root", "b"), 2u);
    EXPECT_EQ(hive.GetDword("Root", "m"), 1u);
    EXPECT_FALSE(hive.EnumKey("Root", 7).has_value());
    EXPECT_EQ(hive.EnumValue("Root", 4), nullptr);
    EXPECT_FALSE(hive.EnumKey("Missing", 0).has_value());
    EXPECT_EQ(hive.EnumValue("Missing", 0), nullptr);
}

TEST(HiveTest, DeleteKeyTakesTheSubtreeAndReadsOfOtherTypesFail) {
    CHive hive;
    hive.SetDword("A\\B\\C", "n", 1);
    hive.SetString("A\\B", "s", "text");
    hive.SetDword("A\\Bz", "n", 2);
    EXPECT_EQ(hive.GetDword("A\\B", "s"), std::nullopt);
    EXPECT_EQ(hive.GetString("A\\B\\C", "n"), std::nullopt);
    EXPECT_TRUE(hive.DeleteKey("a\\b"));
    EXPECT_FALSE(hive.KeyExists("A\\B\\C"));
    EXPECT_FALSE(hive.KeyExists("A\\B"));
    EXPECT_EQ(hive.GetDword("A\\Bz", "n"), 2u);
    EXPECT_FALSE(hive.DeleteKey("A\\B"));
    EXPECT_FALSE(hive.DeleteKey(""));
    EXPECT_FALSE(hive.SetDword("A\\bad\nname", "n", 1));
}

TEST(HiveTest, AbsurdlyDeepKeysAreRefused) {
    std::string path;
    for (int i = 0; i < 512; ++i) {
        path += "k\\";
    }
    CHive hive;
    EXPECT_TRUE(hive.CreateKey(path));
    EXPECT_FALSE(hive.CreateKey(path + "one-too-many"));
    std::string error;
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + path + "deeper]\n";
    CHive parsed;
    EXPECT_FALSE(CRegText::Parse(text, parsed, error));
}

TEST(HiveTest, HandWrittenFilesLoad) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; settings written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers\\news.example.com]\r\n"
        "\"Port\"=dword:00000077\r\n"
        "\"Login User\"=\"C:\\\\path \\\"x\\\"\"  \r\n"
        "@=\"default\"\r\n"
        "\"Icon\"=hex:01,02,\\\r\n"
        "  03,04,\\\r\n"
        "  05\r\n"
        "\"Short\"=dword:7b\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
        "\"Ignored\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software\\Gone]\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n";
    for (const bool crlf : {true, false}) {
        std::string variant = text;
        if (!crlf) {
            std::erase(variant, '\r');
        }
        TempFolder dir;
        WriteFile(dir / "HKCU.reg", variant);
        // Copied in with the usual mode: it holds passwords, so it becomes private.
        ::chmod((dir / "HKCU.reg").c_str(), 0644);
        CHive hive;
        ASSERT_EQ(hive.Load(dir / "HKCU.reg"), CHive::LoadResult::Loaded) << hive.LastError();
        struct stat info {};
        ASSERT_EQ(::stat((dir / "HKCU.reg").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        const std::string key = std::string(kServers) + "\\news.example.com";
        EXPECT_EQ(hive.GetDword(key, "Port"), 0x77u);
        EXPECT_EQ(hive.GetString(key, "Login User"), "C:\\path \"x\"");
        EXPECT_EQ(hive.GetString(key, ""), "default");
        EXPECT_EQ(hive.GetBinary(key, "Icon"), std::string("\x01\x02\x03\x04\x05"));
        EXPECT_EQ(hive.GetDword(key, "Short"), 0x7bu);
        EXPECT_FALSE(hive.KeyExists("Software\\Other"));
        EXPECT_FALSE(hive.KeyExists("Software\\Gone"));
    }
}

TEST(HiveTest, Utf16ExportLoads) {
    const std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\T]\r\n\"Name\"=\"caf\xc3\xa9\"\r\n";
    // Widen the ASCII and the one two-byte character by hand.
    std::string utf16 = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\xc3') {
            utf16 += "\xe9";
            utf16 += '\0';
            ++i;
            continue;
        }
        utf16 += utf8[i];
        utf16 += '\0';
    }
    CHive hive;
    std::string error;
    ASSERT_TRUE(CRegText::Parse(utf16, hive, error)) << error;
    EXPECT_EQ(hive.GetString("Software\\T", "Name"), "caf\xc3\xa9");
}

TEST(HiveTest, MalformedTextIsRejectedWithItsLine) {
    const char* bad[] = {
        "not a header\n",
        "Windows Registry Editor Version 5.00\n\"v\"=dword:1\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:12g4\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v=\"x\"\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1,2\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=qword:1\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\ngarbage\n",
    };
    for (const char* text : bad) {
        CHive hive;
        std::string error;
        EXPECT_FALSE(CRegText::Parse(text, hive, error)) << text;
        EXPECT_TRUE(error.starts_with("line ")) << error;
    }
}

TEST(HiveTest, CorruptFileIsKeptAsideAndReported) {
    TempFolder dir;
    const std::string path = dir / "HKCU.reg";
    const std::string garbage = "this is not a registry file\n";
    WriteFile(path, garbage);

    testing::internal::CaptureStderr();
    CHive hive;
    EXPECT_EQ(hive.Load(path), CHive::LoadResult::SetAside);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("HKCU.reg.corrupt-"), std::string::npos) << message;
    EXPECT_FALSE(hive.KeyExists("Software"));

    std::vector<std::string> entries = FolderEntries(dir.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].starts_with("HKCU.reg.corrupt-"));
    EXPECT_EQ(ReadFile(dir / entries[0]), garbage);

    // A second corrupt file within the same second gets its own name.
    WriteFile(path, "second\n");
    testing::internal::CaptureStderr();
    CHive again;
    EXPECT_EQ(again.Load(path), CHive::LoadResult::SetAside);
    testing::internal::GetCapturedStderr();
    entries = FolderEntries(dir.Path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(ReadFile(dir / entries[0]) + ReadFile(dir / entries[1]),
              entries[0].size() < entries[1].size() ? garbage + "second\n" : "second\n" + garbage);

    // The store starts empty and saves normally.
    again.SetDword("Software\\X", "n", 1);
    EXPECT_TRUE(again.Save());
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 3u);
}

TEST(HiveTest, UnreadableFileIsNeverOverwritten) {
    TempFolder dir;
    const std::string path = dir / "HKCU.reg";
    std::filesystem::create_directory(path); // reading a folder fails
    testing::internal::CaptureStderr();
    CHive hive;
    EXPECT_EQ(hive.Load(path), CHive::LoadResult::Unreadable);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    hive.SetDword("Software\\X", "n", 1);
    EXPECT_FALSE(hive.Save());
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(HiveTest, SaveWritesMode0600OnlyWhenChanged) {
    TempFolder dir;
    const std::string path = dir / "sub/folder/HKCU.reg";
    const mode_t oldMask = umask(0);
    CHive hive;
    hive.Load(path);
    EXPECT_TRUE(hive.Save()); // nothing changed: no file
    EXPECT_FALSE(std::filesystem::exists(path));
    hive.SetDword("Software\\X", "n", 1);
    EXPECT_TRUE(hive.IsModified());
    EXPECT_TRUE(hive.Save());
    umask(oldMask);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Unchanged and same-value writes leave the file alone.
    std::filesystem::remove(path);
    hive.SetDword("software\\x", "N", 1);
    EXPECT_FALSE(hive.IsModified());
    EXPECT_TRUE(hive.Save());
    EXPECT_FALSE(std::filesystem::exists(path));
    hive.DeleteValue("Software\\X", "n");
    EXPECT_TRUE(hive.Save());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(HiveTest, FailedWriteLeavesThePreviousFileWhole) {
    TempFolder dir;
    const std::string path = dir / "HKCU.reg";
    CHive hive;
    hive.Load(path);
    hive.SetString("Software\\X", "small", "before");
    ASSERT_TRUE(hive.Save());
    const std::string before = ReadFile(path);

    // A file-size limit makes the write of the temporary file fail half way.
    hive.SetBinary("Software\\X", "big", std::string(200000, 'x'));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool saved = hive.Save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_NE(hive.LastError().find("HKCU.reg"), std::string::npos) << hive.LastError();
    EXPECT_TRUE(hive.IsModified());
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"HKCU.reg"});
    EXPECT_TRUE(hive.Save()); // the change is still there to be saved later
    CHive reloaded;
    reloaded.Load(path);
    EXPECT_EQ(reloaded.GetBinary("Software\\X", "big")->size(), 200000u);
}

TEST(HiveTest, KilledWriterNeverLeavesATornFile) {
    TempFolder dir;
    const std::string path = dir / "HKCU.reg";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CHive hive;
        hive.Load(path);
        for (uint32_t round = 0;; ++round) {
            hive.SetBinary("Software\\X", "payload", std::string(50000 + round % 7, 'p'));
            hive.SetDword("Software\\X", "round", round);
            if (!hive.Save()) {
                _exit(2);
            }
        }
    }
    while (!std::filesystem::exists(path)) {
        usleep(1000);
    }
    usleep(100000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    CHive hive;
    ASSERT_EQ(hive.Load(path), CHive::LoadResult::Loaded);
    const uint32_t round = *hive.GetDword("Software\\X", "round");
    EXPECT_EQ(hive.GetBinary("Software\\X", "payload")->size(), 50000 + round % 7);
}

} // namespace
