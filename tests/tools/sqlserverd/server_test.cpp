// The server over real sockets: hostile and malformed input closes only the connection that sent
// it (the server keeps serving others, the databases stay untouched), logins, cancels, RPC
// handles and packet sizes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tds/requests.h"
#include "test_support.h"

namespace tds {
namespace {

using test::RawClient;

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}
using test::TestServer;

class ServerTest : public ::testing::Test {
 protected:
  // After every hostile client a well-behaved one still logs in and runs a batch.
  void ExpectServing() {
    RawClient client(server_.port());
    ASSERT_TRUE(client.Login(test::ToDatabase("shop")));
    client.Send(0x01, test::BatchPayload("SELECT COUNT(*) FROM sysobjects"));
    std::optional<Message> reply = client.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload[0], 0x81);  // COLMETADATA
  }
  static Bytes Prelogin() { return test::Packet(0x12, test::PreloginPayload(0)); }

  TestServer server_;
};

TEST_F(ServerTest, GarbageInsteadOfPreloginClosesTheConnection) {
  RawClient client(server_.port());
  client.Send(Bytes{'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n', '\r', '\n'});
  EXPECT_TRUE(client.ClosedByServer());
  ExpectServing();
}

TEST_F(ServerTest, LoginBeforePreloginClosesTheConnection) {
  RawClient client(server_.port());
  client.Send(0x10, test::Login7Payload({}));
  EXPECT_TRUE(client.ClosedByServer());
  ExpectServing();
}

TEST_F(ServerTest, BatchBeforeLoginClosesTheConnection) {
  RawClient client(server_.port());
  client.Send(Prelogin());
  ASSERT_TRUE(client.Receive());
  client.Send(0x01, test::BatchPayload("DROP DATABASE shop"));
  EXPECT_TRUE(client.ClosedByServer());
  ExpectServing();  // the database is still there
}

TEST_F(ServerTest, TruncatedPacketAndShortLengthCloseTheConnection) {
  {
    RawClient client(server_.port());
    Bytes packet = Prelogin();
    packet.resize(packet.size() - 5);
    // The server waits for the rest; closing our side ends it without an answer.
    client.Send(packet);
  }
  {
    RawClient client(server_.port());
    client.Send(Bytes{0x12, 0x01, 0x00, 0x03, 0, 0, 1, 0});
    EXPECT_TRUE(client.ClosedByServer());
  }
  ExpectServing();
}

TEST_F(ServerTest, HugeMessagesBeforeLoginAreRefused) {
  RawClient client(server_.port());
  Bytes chunk = test::Packet(0x12, Bytes(4000, 0), false);
  for (int i = 0; i < 20; ++i) client.Send(chunk);  // 80 KB without end of message
  EXPECT_TRUE(client.ClosedByServer());
  ExpectServing();
}

TEST_F(ServerTest, MalformedLoginClosesTheConnection) {
  RawClient client(server_.port());
  client.Send(Prelogin());
  ASSERT_TRUE(client.Receive());
  Bytes login = test::Login7Payload({});
  login[36] = 0xF0;  // host name offset far outside
  login[37] = 0xFF;
  client.Send(0x10, login);
  EXPECT_TRUE(client.ClosedByServer());
  ExpectServing();
}

TEST_F(ServerTest, UnknownPacketTypeAndBadRpcCloseTheConnection) {
  {
    RawClient client(server_.port());
    ASSERT_TRUE(client.Login());
    client.Send(0x55, Bytes{1, 2, 3});
    EXPECT_TRUE(client.ClosedByServer());
  }
  {
    RawClient client(server_.port());
    ASSERT_TRUE(client.Login());
    client.Send(0x03, test::RpcPayload(10, Bytes{0, 0, 0x99, 1}));
    EXPECT_TRUE(client.ClosedByServer());
  }
  ExpectServing();
}

TEST_F(ServerTest, ClientsThatRequireEncryptionGetNotSupportedAndAreClosed) {
  RawClient client(server_.port());
  client.Send(0x12, test::PreloginPayload(1));
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type, 0x04);
  EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(ServerTest, AWrongDatabaseIsRefusedWith4060AndNoLoginAck) {
  RawClient client(server_.port());
  client.Send(Prelogin());
  ASSERT_TRUE(client.Receive());
  client.Send(0x10, test::Login7Payload(test::ToDatabase("fehlt")));
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  Reader r(reply->payload);
  EXPECT_EQ(r.U8(), 0xAA);
  r.U16();
  EXPECT_EQ(r.U32(), 4060u);
  const Bytes& b = reply->payload;
  // The reply ends with DONE(ERROR), final.
  EXPECT_EQ(Bytes(b.end() - 13, b.end() - 9), (Bytes{0xFD, 0x02, 0x00, 0x00}));
  EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(ServerTest, AttentionAfterAReplyIsAcknowledged) {
  RawClient client(server_.port());
  ASSERT_TRUE(client.Login());
  client.Send(0x06, Bytes{});
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->payload, (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ServerTest, AttentionSentWithTheBatchDropsItsResults) {
  RawClient client(server_.port());
  ASSERT_TRUE(client.Login());
  // The batch and the cancel arrive together: the cancel is seen before any result is sent.
  Bytes both = test::Packet(0x01, test::BatchPayload("SELECT 1 SELECT 2"));
  Bytes attention = test::Packet(0x06, Bytes{});
  both.insert(both.end(), attention.begin(), attention.end());
  client.Send(both);
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->payload, (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  client.Send(0x01, test::BatchPayload("SELECT 3"));
  EXPECT_EQ(client.Receive()->payload[0], 0x81);
}

TEST_F(ServerTest, ARequestSentWithoutWaitingIsServedAfterTheReply) {
  RawClient client(server_.port());
  ASSERT_TRUE(client.Login());
  Bytes both = test::Packet(0x01, test::BatchPayload("SELECT 1"));
  Bytes second = test::Packet(0x01, test::BatchPayload("SELECT 2"));
  both.insert(both.end(), second.begin(), second.end());
  client.Send(both);
  EXPECT_TRUE(Contains(client.Receive()->payload, Bytes{0xD1, 0x04, 1, 0, 0, 0}));
  EXPECT_TRUE(Contains(client.Receive()->payload, Bytes{0xD1, 0x04, 2, 0, 0, 0}));
}

TEST_F(ServerTest, PrepExecReturnsTheHandleAndExecuteReusesIt) {
  RawClient client(server_.port());
  ASSERT_TRUE(client.Login(test::ToDatabase("shop")));
  Bytes params;
  Writer w(params);
  test::IntParam(w, "@handle", 0, true, true);
  test::NTextParam(w, "", "@P1 int");
  test::NTextParam(w, "", "SELECT @P1 + 1 AS n");
  test::IntParam(w, "", 41);
  client.Send(0x03, test::RpcPayload(kProcPrepExec, params));
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  const Bytes& b = reply->payload;
  // ... ROW(42) DONEINPROC, RETURNSTATUS 0, RETURNVALUE @handle = 1, DONEPROC (final).
  auto find = [&](const Bytes& needle) { return Contains(b, needle); };
  EXPECT_TRUE(find(Bytes{0xD1, 0x04, 42, 0, 0, 0, 0xFF, 0x11, 0x00, 0xC1, 0x00, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(find(Bytes{0x79, 0, 0, 0, 0, 0xAC, 0, 0, 7, '@', 0, 'h', 0}));
  EXPECT_EQ(Bytes(b.end() - 13, b.end() - 9), (Bytes{0xFE, 0x00, 0x00, 0x00}));

  Bytes again;
  Writer e(again);
  test::IntParam(e, "", 1);
  test::IntParam(e, "", 9);
  client.Send(0x03, test::RpcPayload(kProcExecute, again));
  reply = client.Receive();
  ASSERT_TRUE(reply);
  const Bytes& c = reply->payload;
  EXPECT_TRUE(Contains(c, Bytes{0xD1, 0x04, 10, 0, 0, 0}));

  Bytes unknown;
  Writer u(unknown);
  test::IntParam(u, "", 77);
  client.Send(0x03, test::RpcPayload(kProcExecute, unknown));
  reply = client.Receive();
  ASSERT_TRUE(reply);
  Reader r(reply->payload);
  EXPECT_EQ(r.U8(), 0xAA);
  r.U16();
  EXPECT_EQ(r.U32(), 8179u);
}

TEST_F(ServerTest, ALongResultArrivesWholeInSmallPackets) {
  RawClient client(server_.port());
  test::LoginFields small;
  small.packet_size = 512;
  ASSERT_TRUE(client.Login(small));
  client.Send(0x01, test::BatchPayload("SELECT a.name, b.xtype FROM systypes a CROSS JOIN systypes b"));
  std::optional<Message> reply = client.Receive();
  ASSERT_TRUE(reply);
  EXPECT_GT(reply->payload.size(), 2000u);
  EXPECT_EQ(reply->payload[0], 0x81);
  const Bytes& b = reply->payload;
  EXPECT_EQ(Bytes(b.end() - 13, b.end() - 9), (Bytes{0xFD, 0x10, 0x00, 0xC1}));
}

}  // namespace
}  // namespace tds
