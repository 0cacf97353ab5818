// The frames as the standard writes them, the receiver's answers read only
// when whole and sound, and settings a centre could not use refused at start.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "outlets/dc09/dc09_frame.h"
#include "recorder/options.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

const SystemTime kSent = *ParseDc09Timestamp("04:01:05,12-10-2026");

std::string Body(const std::string& frame) { return frame.substr(9, frame.size() - 10); }

// A receiver's answer framed as it frames it.
std::string Answer(const std::string& body) {
  char length[5];
  std::snprintf(length, sizeof length, "0%03zX", body.size());
  return "\n" + Dc09Crc(body) + length + body + "\r";
}

TEST(Dc09Frame, PlainAndEncryptedFramesAsTheStandardWritesThem) {
  EXPECT_EQ(Dc09Crc("123456789"), "BB3D");  // the standard's own check value
  EXPECT_EQ(Dc09Timestamp(kSent), "04:01:05,12-10-2026");

  // The README's worked example, byte for byte.
  EXPECT_EQ(BuildDc09Frame({"", "0", "1234"}, {"SIA-DCS", 1, "Nri1/BA001", ""}, kSent, nullptr),
            "\n66E1003A\"SIA-DCS\"0001L0#1234[#1234|Nri1/BA001]_04:01:05,12-10-2026\r");

  const Dc09Sender sender{"1A", "0", "1234"};
  const std::string plain =
      BuildDc09Frame(sender, {"SIA-DCS", 7, "Nri1/BA001", "[H04:01:02,12-10-2026]"}, kSent, nullptr);
  EXPECT_EQ(plain.front(), '\n');
  EXPECT_EQ(plain.back(), '\r');
  EXPECT_EQ(Body(plain),
            "\"SIA-DCS\"0007R1AL0#1234[#1234|Nri1/BA001][H04:01:02,12-10-2026]_04:01:05,12-10-2026");
  EXPECT_EQ(plain.substr(1, 4), Dc09Crc(Body(plain)));
  EXPECT_EQ(plain.substr(5, 4), "0053");  // "0" and the body's length in three hex digits
  EXPECT_EQ(Body(BuildDc09Frame({"", "0", "1234"}, {"NULL", 9999, "", ""}, kSent, nullptr)),
            "\"NULL\"9999L0#1234[]_04:01:05,12-10-2026");

  std::string why;
  for (const char* text : {"text:0123456789abcdef", "000102030405060708090A0B0C0D0E0F1011121314151617"}) {
    const auto key = Dc09Key::FromText(text, &why);
    ASSERT_TRUE(key) << why;
    const std::string one = BuildDc09Frame(sender, {"ADM-CID", 12, "1131 01 001", ""}, kSent, &*key);
    const std::string body = Body(one);
    ASSERT_EQ(body.rfind("\"*ADM-CID\"0012R1AL0#1234[", 0), 0u) << body;
    const std::string hex = body.substr(body.find('[') + 1);
    const auto opened = key->DecryptHex(hex);
    ASSERT_TRUE(opened) << hex;
    // pad|data]_timestamp, the pad 1 to 16 printable characters that are none of |[].
    const std::size_t bar = opened->find('|');
    EXPECT_EQ(opened->substr(bar), "|1131 01 001]_04:01:05,12-10-2026");
    EXPECT_TRUE(bar >= 1 && bar <= 16 && opened->size() % 16 == 0) << *opened;
    EXPECT_EQ(opened->substr(0, bar).find_first_of("|[] "), std::string::npos);
    EXPECT_EQ(hex.find_first_of("abcdef"), std::string::npos) << "upper-case hex";
    // The pad varies from frame to frame, so equal messages do not look equal.
    EXPECT_NE(one, BuildDc09Frame(sender, {"ADM-CID", 12, "1131 01 001", ""}, kSent, &*key));
  }
}

TEST(Dc09Frame, AnswersAreReadOnlyWholeAndSound) {
  std::string why;
  const auto key = Dc09Key::FromText("000102030405060708090a0b0c0d0e0f", &why);
  ASSERT_TRUE(key);
  // Noise, a cut frame, then an ACK; a NAK with the receiver's time, sent
  // twice as some receivers do; one whose CRC is wrong; and the start of one
  // still arriving.
  std::string broken = Answer("\"ACK\"0004L0#1234[]");
  broken[2] = broken[2] == '0' ? '1' : '0';
  std::string buffer = "\n0012\r\n00" + Answer("\"ACK\"0003R1AL0#1234[]") +
                       Answer("\"NAK\"0000R0L0A0[]_04:06:05,12-10-2026") +
                       Answer("\"NAK\"0000R0L0A0[]_04:06:05,12-10-2026") + broken + "\n1234004";
  const std::vector<Dc09Answer> answers = TakeDc09Answers(&buffer, nullptr);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].kind, Dc09Answer::Kind::Ack);
  EXPECT_EQ(answers[0].seq, 3);
  EXPECT_EQ(answers[0].account, "1234");
  EXPECT_EQ(answers[0].receiver, "1A");
  EXPECT_EQ(answers[1].kind, Dc09Answer::Kind::Nak);
  EXPECT_EQ(answers[1].receiver_time, kSent + std::chrono::minutes(5));
  EXPECT_EQ(buffer, "\n1234004") << "the frame still arriving is kept";

  // An encrypted ACK, padded with zero bytes as one receiver does and with
  // printable characters as another: its timestamp is found either way; the
  // same under another key is no answer.
  for (const std::string pad : {std::string(13, '\0'), std::string("Qx7")}) {
    std::string plain = pad + "|]_04:01:06,12-10-2026";
    plain += std::string((16 - plain.size() % 16) % 16, 'z');
    std::string encrypted = Answer("\"*ACK\"0005L0#1234[" + key->EncryptHex(plain));
    std::string copy = encrypted;
    const auto read = TakeDc09Answers(&encrypted, &*key);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_TRUE(read[0].encrypted);
    EXPECT_EQ(read[0].receiver_time, kSent + std::chrono::seconds(1));
    const auto other = Dc09Key::FromText("text:another key 16", &why);
    ASSERT_FALSE(other) << "19 characters are no key";
    EXPECT_TRUE(TakeDc09Answers(&copy, nullptr).empty());
  }
}

TEST(Dc09Options, SettingsACentreCannotUseAreRefusedAtStartWithExitCode2) {
  testing::TempFolder folder;
  const std::string short_key = folder.Folder() + "short.key", good_key = folder.Folder() + "good.key";
  std::ofstream(short_key) << "00112233";
  std::ofstream(good_key) << "text:0123456789abcdef0123456789abcdef\n";
  const std::string journal = folder.Folder() + "journal.jsonl";
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--dc09", "http://127.0.0.1:5000", "--dc09-account", "1234"}, "--dc09: "},
      {{"--dc09", "tcp://127.0.0.1", "--dc09-account", "1234"}, "--dc09: "},
      {{"--dc09", "udp://127.0.0.1:70000", "--dc09-account", "1234"}, "--dc09: "},
      {{"--dc09", "tcp://127.0.0.1:5000"}, "--dc09-account: "},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "12"}, "--dc09-account: "},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "12G4"}, "--dc09-account: "},
      {{"--dc09-backup", "tcp://127.0.0.1:5001"}, "--dc09-backup: "},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-zone", "1000"}, "--dc09-zone"},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-null", "86401"}, "--dc09-null"},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-format", "xml"}, "--dc09-format"},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-key", short_key}, "--dc09-key: "},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-key", folder.Folder() + "none"},
       "--dc09-key: "},
      {{"--dc09", "tcp://127.0.0.1:5000", "--dc09-account", "1234", "--dc09-code", "alarm=BA"},
       "--dc09-code: "},
      {{"--dc09-account", "1234"}, "--dc09"},
  };
  for (const auto& [words, named] : refused) {
    std::vector<std::string> argv = {"tarvin9-recorder", "--port", "COM3", "--journal", journal};
    argv.insert(argv.end(), words.begin(), words.end());
    std::vector<const char*> args;
    for (const std::string& word : argv) args.push_back(word.c_str());
    RecorderOptions options;
    std::string complaint;
    const auto code = ParseRecorderOptions(static_cast<int>(args.size()), args.data(), &options,
                                           [&](const std::string& line) { complaint = line; });
    EXPECT_EQ(code, std::optional<int>(2)) << words.front() << " " << words.back();
    EXPECT_NE(complaint.find(named), std::string::npos) << complaint;
  }
  EXPECT_FALSE(FileExistsUtf8(journal)) << "nothing is made before the options are known good";

  const std::vector<std::string> good = {
      "tarvin9-recorder", "--port",        "COM3",       "--dc09", "udp://[::1]:5000",
      "--dc09-account",   "beef01",        "--dc09-key", good_key, "--dc09-code",
      "alarm=BV/E132",    "--dc09-format", "cid"};
  std::vector<const char*> args;
  for (const std::string& word : good) args.push_back(word.c_str());
  RecorderOptions options;
  ASSERT_FALSE(ParseRecorderOptions(static_cast<int>(args.size()), args.data(), &options));
  EXPECT_EQ(options.dc09.main.host, "::1");
  EXPECT_EQ(options.dc09.account, "BEEF01");
  EXPECT_EQ(options.dc09.key->Bits(), 256u);
  EXPECT_EQ(options.dc09.code_table.Of(Report::AlarmBegin).cid, "E132");
}

}  // namespace
}  // namespace tarvin
