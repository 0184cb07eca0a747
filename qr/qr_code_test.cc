#include "qr/qr_code.h"

#include <gtest/gtest.h>

#include "qr/qr_render.h"
#include "qr/qr_request.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

// The stand-in services, shared by the whole suite.
class QrCodeTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new QrTestServer(); }
  static void TearDownTestSuite() { delete server_; }
  void SetUp() override {
    ASSERT_TRUE(server_->running());
    server_->TakeRequests();
  }
  // The first line of the only request since the last call.
  static std::string OnlyRequestLine() {
    std::vector<std::string> requests = server_->TakeRequests();
    return requests.size() == 1 ? requests[0].substr(0, requests[0].find("\r\n")) : "";
  }
  static std::string Body(const std::string& r) { return r.substr(r.find("\r\n\r\n") + 4); }
  static QrTestServer* server_;
  Sandbox temp_;
  Host host_ = MakeQrTestHost({{kQrServiceVariable, server_->base() + "/"},
                               {kQrDecoderVariable, server_->base()},
                               {"KALVENOR_DRIVE_C", temp_.root()}});
};

QrTestServer* QrCodeTest::server_ = nullptr;

std::string PngOf(const Picture& picture) {
  std::string png;
  EXPECT_TRUE(ImageToPngBytes(picture, &png));
  return png;
}

Picture Bitmap(int side) {
  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = picture->pixel_height = side;
  picture->width_twips = picture->height_twips = side * 15.0f;
  picture->pixels.assign(static_cast<size_t>(side) * side, 0xFF336699u);
  return picture;
}

TEST_F(QrCodeTest, PictureFromTheServiceHasItsPixelSizeAt96Dpi) {
  server_->SetCase("200", PngOf(Bitmap(100)));
  Picture picture = QrCode(host_).GetPictureQrCode(u"AB c", 100, 100);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(std::pair(picture->width_twips, picture->height_twips), std::pair(1500.0f, 1500.0f));
  EXPECT_EQ(picture->pixels, Bitmap(100)->pixels);
  EXPECT_EQ(OnlyRequestLine(), "GET /v1/create-qr-code/?data=AB%20c&size=100x100 HTTP/1.1");
}

TEST_F(QrCodeTest, EveryFailedImageRequestGivesNoPicture) {
  const std::string png = PngOf(Bitmap(10));
  const std::string oversized(70 * 1024, 'x');
  const std::pair<const char*, std::string> cases[] = {
      {"404", ""},
      {"301", png},                        // the redirect would lead to the image
      {"short", png},                      // fewer bytes than announced
      {"200", "<html>busy</html>"},        // not an image
      {"200", oversized},                  // over the size cap, announced
      {"close", oversized},                // over the size cap, read until close
      {"hang", ""},                        // never answers
  };
  for (const auto& [name, body] : cases) {
    server_->SetCase(name, body);
    EXPECT_EQ(QrCode(host_).GetPictureQrCode(u"x", 100, 100), nullptr) << name;
    EXPECT_EQ(server_->TakeRequests().size(), 1u) << name;
  }
  RefusingPort refusing;
  Host nobody_listening = MakeQrTestHost({{kQrServiceVariable, "http://" + refusing.address()}});
  EXPECT_EQ(QrCode(nobody_listening).GetPictureQrCode(u"x", 100, 100), nullptr);
}

TEST_F(QrCodeTest, UploadIsAnExactMultipartPost) {
  server_->SetCase("200", "a\xC3\xB1o");
  Text out = u"before";
  // The body's boundary lines: two more dashes than the header's boundary.
  const std::string png("\x89\0Z", 3), boundary = std::string(29, '-') + "30862264243566";
  ASSERT_TRUE(QrCode(host_).DecodeFromStream(png, out));
  EXPECT_EQ(out, u"a\u00F1o");  // the reply read as UTF-8
  std::vector<std::string> requests = server_->TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  std::string head = requests[0].substr(0, requests[0].size() - Body(requests[0]).size());
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /w/decode?full=false HTTP/1.0");
  EXPECT_NE(head.find("\r\nContent-Type: multipart/form-data; boundary=" + boundary.substr(2) + "\r\n"),
            std::string::npos) << head;
  EXPECT_NE(head.find("\r\nContent-Length: 187\r\n"), std::string::npos) << head;
  EXPECT_EQ(Body(requests[0]), boundary +
                                   "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"FileName\"\r\n"
                                   "Content-Type: image/png\r\n\r\n" +
                                   png + "\r\n" + boundary + "--\r\n");
}

TEST_F(QrCodeTest, DecodeFromUrlKeepsTheReplyBytesAsCharacters) {
  server_->SetCase("200", "a\xC3\xB1o");
  Text out = u"before";
  ASSERT_TRUE(QrCode(host_).DecodeFromUrl(u"http://example.com/q.png", out));
  EXPECT_EQ(out, u"a\u00C3\u00B1o");
  EXPECT_EQ(OnlyRequestLine(),
            "GET /w/decode?full=false&u=http%3A%2F%2Fexample%2Ecom%2Fq%2Epng HTTP/1.1");
}

TEST_F(QrCodeTest, FailedDecodingAnswersFalse) {
  for (const char* name : {"404", "302", "short"}) {
    server_->SetCase(name, "reply");
    Text out = u"keep";
    EXPECT_FALSE(QrCode(host_).DecodeFromStream("png", out)) << name;
    EXPECT_EQ(out, u"keep") << name;  // the upload leaves it alone
    EXPECT_FALSE(QrCode(host_).DecodeFromUrl(u"http://h/i.png", out)) << name;
    EXPECT_EQ(out, u"") << name;  // the URL path empties it first
    EXPECT_EQ(server_->TakeRequests().size(), 2u) << name;
  }
  server_->SetCase("200", "reply");
  Text out = u"keep";
  EXPECT_FALSE(QrCode(host_).DecodeFromPicture(nullptr, out));
  EXPECT_TRUE(server_->TakeRequests().empty());
  Host no_decoder = MakeQrTestHost({});
  EXPECT_FALSE(QrCode(no_decoder).DecodeFromStream("png", out));
  EXPECT_EQ(out, u"keep");
}

TEST_F(QrCodeTest, PictureAndFileAreUploadedAsPng) {
  server_->SetCase("200", "ok");
  Picture qr = RenderQrPicture({u"HELLO 123"});
  Text out;
  ASSERT_TRUE(QrCode(host_).DecodeFromPicture(qr, out));
  EXPECT_EQ(out, u"ok");
  temp_.Write("IMAGE.PNG", PngOf(Bitmap(7)));
  ASSERT_TRUE(QrCode(host_).DecodeFromFile(u"C:\\image.png", out));
  EXPECT_FALSE(QrCode(host_).DecodeFromFile(u"C:\\missing.png", out));
  temp_.Write("TEXT.PNG", "not an image");
  EXPECT_FALSE(QrCode(host_).DecodeFromFile(u"C:\\TEXT.PNG", out));
  // The picture's PNG and the file's own bytes are what is sent.
  std::vector<std::string> requests = server_->TakeRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(Body(requests[0]).find("image/png\r\n\r\n" + PngOf(qr) + "\r\n"), std::string::npos);
  EXPECT_NE(Body(requests[1]).find("image/png\r\n\r\n" + PngOf(Bitmap(7)) + "\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kalvenor
