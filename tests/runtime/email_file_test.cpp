#include "runtime/email_file.h"

#include <string>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "support/runtime_fixture.h"

class EmailFileTest : public test_support::RuntimeTest {
 protected:
  // Writes the message with a template of our own and returns the output.
  std::string Message(const std::string& templ, const std::string& attachment, const char* subject = "S") {
    Write("CRefEML.txt", templ);
    Write("att.bin", attachment);
    EXPECT_TRUE(WriteEmlFile(File("att.bin").c_str(), File("out.eml").c_str(), "a.csv",
                             "x@example.com", subject, "M"));
    return Read("out.eml");
  }
};

TEST_F(EmailFileTest, TagsAreFilledFromTheTemplateOnly) {
  const struct { const char* templ; const char* subject; const char* expected; } cases[] = {
      {"A [OBJET] [OBJET]\r\n", "S", "A S [OBJET]\r\n"},
      // A subject holding a tag is inserted as it is, never expanded.
      {"Subject: [OBJET]\r\n\r\n[MESSAGE]\r\n", "[MESSAGE] [NOMFICHIER]",
       "Subject: [MESSAGE] [NOMFICHIER]\r\n\r\nM\r\n"},
      // Lone CR or LF end template lines; blank lines stay empty.
      {"a\rb\nc\r\n   \r\nd", "S", "a\r\nb\r\nc\r\n\r\nd\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Message(c.templ, "", c.subject), c.expected) << c.templ;
}

TEST_F(EmailFileTest, FailuresAreReported) {
  std::string out = File("out.eml");
  EXPECT_FALSE(WriteEmlFile("", out.c_str(), "a", "b", "c", "d"));  // no template
  // An attachment that cannot be opened leaves the body out.
  Write("crefeml.txt", "a\r\n[FICHIERBASE64]\r\nb\r\n");
  EXPECT_TRUE(WriteEmlFile(File("nothing.bin").c_str(), out.c_str(), "a", "b", "c", "d"));
  EXPECT_EQ(Read("out.eml"), "a\r\nb\r\n");
}

// The shipped template, read back by Python's e-mail parser: subject,
// recipient and file name decode to what was given and the attachment to
// the identical bytes.
TEST_F(EmailFileTest, MailReadersDecodeTheMessage) {
  std::string templ;
  ASSERT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/CRefEML.txt", templ));
  Write("CRefEML.txt", templ);
  std::string attachment;
  for (int i = 0; i < 20000; ++i) attachment += static_cast<char>((i * 7 + i / 256) % 256);
  attachment += std::string("\0\0\r\n\n\r", 6);
  Write("export.csv", attachment);
  const std::string subject = "Grand livre g\xE9n\xE9ral \x80 d\xE9" "cembre\r\nBcc: evil@example.com";
  const std::string recipient = "J\xE9r\xF4me Dupont <jerome@example.com>";
  const std::string fileName = "Relev\xE9 \"f\xE9vrier\".csv";
  const std::string message = "Bonjour,\nVoici l'\xE9tat.\r\nCordialement";
  ASSERT_TRUE(WriteEmlFile(File("export.csv").c_str(), File("out.eml").c_str(),
                           fileName.c_str(), recipient.c_str(), subject.c_str(), message.c_str()));

  const char* script =
      "import sys, email, email.policy\n"
      "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)\n"
      "att = [p for p in m.walk() if p.get_filename()]\n"
      "body = [p for p in m.walk() if p.get_content_type() == 'text/plain']\n"
      "out = open(sys.argv[3], 'w', encoding='utf-8')\n"
      "out.write(str(m['subject']) + '\\n')\n"
      "out.write(str(m['to']) + '\\n')\n"
      "out.write(att[0].get_filename() + '\\n')\n"
      "out.write(str(att[0].get_payload(decode=True) == open(sys.argv[2], 'rb').read()) + '\\n')\n"
      "out.write(str(m['bcc']) + '\\n')\n"
      "out.write(str(len(m.defects) + sum(len(p.defects) for p in m.walk())) + '\\n')\n"
      "out.write(body[0].get_content().replace('\\r\\n', '|').replace('\\n', '|') + '\\n')\n";
  platform::LaunchOptions options;
  options.wait = true;
  platform::LaunchResult run = platform::LaunchProcess(
      {"/usr/bin/python3", "-c", script, File("out.eml"), File("export.csv"), File("result.txt")},
      options);
  ASSERT_TRUE(run.launched);
  ASSERT_EQ(run.exitStatus, 0);
  std::istringstream result(Read("result.txt"));
  std::string line;
  const std::string expected[] = {
      platform::Cp1252ToUtf8("Grand livre g\xE9n\xE9ral \x80 d\xE9" "cembreBcc: evil@example.com"),
      platform::Cp1252ToUtf8(recipient),
      platform::Cp1252ToUtf8(fileName),
      "True",
      "None",
      "0",
      platform::Cp1252ToUtf8("Bonjour,|Voici l'\xE9tat.|Cordialement|"),
  };
  for (const std::string& want : expected) {
    ASSERT_TRUE(std::getline(result, line));
    EXPECT_EQ(line, want);
  }
}

