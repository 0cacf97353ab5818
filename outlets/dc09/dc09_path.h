// One path to the centre's receiver, TCP or UDP, without waiting: a frame is
// handed over and goes out as the connection allows; what comes back
// collects until it is taken. The outlet's step runs the network's work
// (Poll) and judges the answers; this only carries bytes.
#pragma once

#include <array>
#include <boost/asio.hpp>
#include <memory>
#include <string>

#include "outlets/dc09/dc09_options.h"

namespace tarvin {

class Dc09Path {
 public:
  Dc09Path(boost::asio::io_context& io, Dc09Endpoint endpoint);
  Dc09Path(const Dc09Path&) = delete;
  Dc09Path& operator=(const Dc09Path&) = delete;

  // Sends one frame; over TCP it connects first when it is not connected
  // (a receiver may close the connection after each answer).
  void Send(std::string frame);
  // The bytes received since the last take.
  std::string& Received() { return received_; }
  // Why the last send cannot be answered (refused, reset, closed before an
  // answer); empty while it may be.
  const std::string& Failure() const { return failure_; }
  // Drops the connection: the next send makes a new one.
  void Close();
  const Dc09Endpoint& Endpoint() const { return endpoint_; }

 private:
  void Resolved(const boost::asio::ip::tcp::resolver::results_type& results, unsigned generation);
  void Write(unsigned generation);
  void ReadTcp(unsigned generation);
  void ReadUdp(unsigned generation);
  void Fail(const boost::system::error_code& error, unsigned generation);

  Dc09Endpoint endpoint_;
  boost::asio::ip::tcp::resolver resolver_;
  boost::asio::ip::tcp::socket tcp_;
  boost::asio::ip::udp::socket udp_;
  boost::asio::ip::udp::endpoint udp_peer_;
  bool connected_ = false;
  // Handlers of a closed connection find a newer generation and do nothing.
  unsigned generation_ = 0;
  std::string outgoing_;
  std::string received_;
  std::string failure_;
  std::array<char, 1024> buffer_{};
};

}  // namespace tarvin
