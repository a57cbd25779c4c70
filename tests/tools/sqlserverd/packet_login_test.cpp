// Packets (reassembly and splitting at exact sizes, limits), PRELOGIN and LOGIN7 decoding.
#include <gtest/gtest.h>

#include "tds/login.h"
#include "tds/packet.h"
#include "test_support.h"

namespace tds {
namespace {

using test::MemoryStream;
using test::Packet;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(PacketReader, ReassemblesPacketsUntilEndOfMessageFromPartialReads) {
  MemoryStream stream(Concat({Packet(0x01, Bytes{1, 2, 3}, false, 1), Packet(0x01, Bytes{4}, false, 2),
                              Packet(0x01, Bytes{5, 6}, true, 3), Packet(0x06, Bytes{}, true)}),
                      3);
  PacketReader reader(stream);
  std::optional<Message> first = reader.ReadMessage();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->type, 0x01);
  EXPECT_EQ(first->payload, (Bytes{1, 2, 3, 4, 5, 6}));
  std::optional<Message> attention = reader.ReadMessage();
  ASSERT_TRUE(attention);
  EXPECT_EQ(attention->type, 0x06);
  EXPECT_TRUE(attention->payload.empty());
  EXPECT_FALSE(reader.ReadMessage());  // clean end between messages
}

TEST(PacketReader, RefusesAMessageBeyondTheLimitBeforeBufferingIt) {
  MemoryStream stream(Concat({Packet(0x01, Bytes(60, 0), false), Packet(0x01, Bytes(41, 0), true)}));
  PacketReader reader(stream, 100);
  EXPECT_THROW(reader.ReadMessage(), ProtocolError);
}

TEST(PacketReader, AcceptsAMessageOfExactlyTheLimit) {
  MemoryStream stream(Concat({Packet(0x01, Bytes(60, 0), false), Packet(0x01, Bytes(40, 0), true)}));
  PacketReader reader(stream, 100);
  EXPECT_EQ(reader.ReadMessage()->payload.size(), 100u);
}

TEST(PacketReader, RefusesLengthsBelowTheHeaderAndTypeChanges) {
  MemoryStream short_length(Bytes{0x01, 0x01, 0x00, 0x07, 0, 0, 1, 0});
  EXPECT_THROW(PacketReader(short_length).ReadMessage(), ProtocolError);
  MemoryStream type_change(Concat({Packet(0x01, Bytes{1}, false), Packet(0x03, Bytes{2}, true)}));
  EXPECT_THROW(PacketReader(type_change).ReadMessage(), ProtocolError);
}

TEST(PacketReader, ATruncatedPacketEndsTheStream) {
  Bytes packet = Packet(0x01, Bytes(10, 7));
  packet.resize(packet.size() - 3);
  MemoryStream stream(packet);
  EXPECT_THROW(PacketReader(stream).ReadMessage(), StreamClosed);
  MemoryStream half_header(Bytes{0x01, 0x01, 0x00});
  EXPECT_THROW(PacketReader(half_header).ReadMessage(), StreamClosed);
}

// Packets as the writer sent them: (status, length, packet id) per packet.
std::vector<std::array<int, 3>> Headers(const Bytes& out) {
  std::vector<std::array<int, 3>> headers;
  for (size_t at = 0; at < out.size();) {
    const int length = (out[at + 2] << 8) | out[at + 3];
    headers.push_back({out[at + 1], length, out[at + 6]});
    EXPECT_EQ(out[at], 0x04);
    EXPECT_EQ((out[at + 4] << 8) | out[at + 5], 57);  // the SPID
    at += static_cast<size_t>(length);
  }
  return headers;
}

TEST(PacketWriter, SplitsAtTheNegotiatedSizeExactly) {
  MemoryStream stream;
  PacketWriter writer(stream, 57);
  writer.set_packet_size(512);
  writer.Send(PacketType::kReply, Bytes(504, 1));  // exactly one full packet
  EXPECT_EQ(Headers(stream.output), (std::vector<std::array<int, 3>>{{1, 512, 1}}));
  stream.output.clear();
  writer.Send(PacketType::kReply, Bytes(505, 1));  // one byte more: a second packet
  EXPECT_EQ(Headers(stream.output), (std::vector<std::array<int, 3>>{{0, 512, 1}, {1, 9, 2}}));
  stream.output.clear();
  writer.Send(PacketType::kReply, Bytes(1008, 1));  // two full packets, no empty third
  EXPECT_EQ(Headers(stream.output), (std::vector<std::array<int, 3>>{{0, 512, 1}, {1, 512, 2}}));
  stream.output.clear();
  writer.Send(PacketType::kReply, Bytes{});  // an empty message is one header
  EXPECT_EQ(Headers(stream.output), (std::vector<std::array<int, 3>>{{1, 8, 1}}));
}

TEST(PacketWriter, WhatItSplitsTheReaderJoins) {
  MemoryStream out;
  PacketWriter writer(out, 1);
  writer.set_packet_size(512);
  Bytes payload(5000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  writer.Send(PacketType::kReply, payload);
  MemoryStream in(out.output, 100);
  EXPECT_EQ(PacketReader(in).ReadMessage()->payload, payload);
}

TEST(Login7, DecodesEveryFieldAndThePassword) {
  test::LoginFields fields;
  fields.user = "Kassierer";
  fields.password = "Pa$$wört😀";
  fields.database = "Verein Süd";
  fields.language = "us_english";
  fields.packet_size = 8192;
  Login7 login = ParseLogin7(test::Login7Payload(fields));
  EXPECT_EQ(login.tds_version, 0x74000004u);
  EXPECT_EQ(login.packet_size, 8192u);
  EXPECT_EQ(login.host_name, "testhost");
  EXPECT_EQ(login.user_name, "Kassierer");
  EXPECT_EQ(login.password, "Pa$$wört😀");
  EXPECT_EQ(login.app_name, "tds_test");
  EXPECT_EQ(login.language, "us_english");
  EXPECT_EQ(login.database, "Verein Süd");
}

TEST(Login7, PasswordBytesAreNibbleSwappedThenXored) {
  // 'a' = 61 00: swapped 16 00, XOR A5 gives B3 A5.
  EXPECT_EQ(DecodePassword(Bytes{0xB3, 0xA5}), "a");
  EXPECT_EQ(DecodePassword(Bytes{}), "");
}

TEST(Login7, RefusesShortOrOutOfBoundsLogins) {
  EXPECT_THROW(ParseLogin7(Bytes(40, 0)), ProtocolError);
  Bytes login = test::Login7Payload({});
  Bytes declared_too_long = login;
  declared_too_long[0] = static_cast<uint8_t>(login.size() + 1);
  EXPECT_THROW(ParseLogin7(declared_too_long), ProtocolError);
  Bytes field_outside = login;
  field_outside[42] = 0xFF;  // user name length far beyond the message
  EXPECT_THROW(ParseLogin7(field_outside), ProtocolError);
}

TEST(Prelogin, ReadsTheClientsEncryptionWish) {
  EXPECT_FALSE(ParsePrelogin(test::PreloginPayload(0)).RequiresEncryption());
  EXPECT_FALSE(ParsePrelogin(test::PreloginPayload(2)).RequiresEncryption());
  EXPECT_TRUE(ParsePrelogin(test::PreloginPayload(1)).RequiresEncryption());
  EXPECT_TRUE(ParsePrelogin(test::PreloginPayload(3)).RequiresEncryption());
  EXPECT_TRUE(ParsePrelogin(test::PreloginPayload(0x81)).RequiresEncryption());
}

TEST(Prelogin, RefusesOptionsOutsideTheMessageAndAMissingTerminator) {
  Bytes outside = test::PreloginPayload(0);
  outside[4] = 0x60;
  EXPECT_THROW(ParsePrelogin(outside), ProtocolError);
  EXPECT_THROW(ParsePrelogin(Bytes{0x00, 0x00, 0x05, 0x00}), ProtocolError);
  EXPECT_THROW(ParsePrelogin(Bytes{}), ProtocolError);
}

TEST(Prelogin, AnswersEncryptionNotSupported) {
  Bytes reply = PreloginReply();
  // Option 1 (ENCRYPTION) points at one byte holding 2 (NOT_SUP).
  ASSERT_EQ(reply[5], 0x01);
  const size_t offset = static_cast<size_t>((reply[6] << 8) | reply[7]);
  EXPECT_EQ((reply[8] << 8) | reply[9], 1);
  EXPECT_EQ(reply[offset], 0x02);
}

}  // namespace
}  // namespace tds
