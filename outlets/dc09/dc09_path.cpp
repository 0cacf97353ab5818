#include "outlets/dc09/dc09_path.h"

namespace tarvin {

namespace asio = boost::asio;
using boost::system::error_code;

Dc09Path::Dc09Path(asio::io_context& io, Dc09Endpoint endpoint)
    : endpoint_(std::move(endpoint)), resolver_(io), tcp_(io), udp_(io) {}

void Dc09Path::Send(std::string frame) {
  outgoing_ = std::move(frame);
  failure_.clear();
  if (connected_) {
    Write(generation_);
    return;
  }
  const unsigned generation = ++generation_;
  resolver_.async_resolve(
      endpoint_.host, std::to_string(endpoint_.port),
      [this, generation](const error_code& error, const asio::ip::tcp::resolver::results_type& results) {
        if (error) return Fail(error, generation);
        Resolved(results, generation);
      });
}

void Dc09Path::Resolved(const asio::ip::tcp::resolver::results_type& results, unsigned generation) {
  if (generation != generation_) return;
  if (endpoint_.transport == Dc09Endpoint::Transport::Udp) {
    const auto address = results.begin()->endpoint();
    udp_peer_ = asio::ip::udp::endpoint(address.address(), address.port());
    // Connected, so that a receiver that is not there is told by the
    // system's refusal rather than only by the silence.
    error_code error;
    udp_.open(udp_peer_.protocol(), error);
    if (!error) udp_.connect(udp_peer_, error);
    if (error) return Fail(error, generation);
    connected_ = true;
    ReadUdp(generation);
    Write(generation);
    return;
  }
  asio::async_connect(tcp_, results,
                      [this, generation](const error_code& error, const asio::ip::tcp::endpoint&) {
                        if (error) return Fail(error, generation);
                        if (generation != generation_) return;
                        connected_ = true;
                        ReadTcp(generation);
                        Write(generation);
                      });
}

void Dc09Path::Write(unsigned generation) {
  auto frame = std::make_shared<std::string>(outgoing_);
  const auto done = [this, generation, frame](const error_code& error, std::size_t) {
    if (error) Fail(error, generation);
  };
  if (endpoint_.transport == Dc09Endpoint::Transport::Udp)
    udp_.async_send(asio::buffer(*frame), done);
  else
    asio::async_write(tcp_, asio::buffer(*frame), done);
}

void Dc09Path::ReadTcp(unsigned generation) {
  tcp_.async_read_some(asio::buffer(buffer_), [this, generation](const error_code& error, std::size_t size) {
    if (generation != generation_) return;
    received_.append(buffer_.data(), size);
    // A receiver that closes after its answer has said what it had to.
    if (error) return Fail(error, generation);
    ReadTcp(generation);
  });
}

void Dc09Path::ReadUdp(unsigned generation) {
  udp_.async_receive(asio::buffer(buffer_), [this, generation](const error_code& error, std::size_t size) {
    if (generation != generation_) return;
    if (!error) received_.append(buffer_.data(), size);
    // A refusal (the receiver's port closed) comes as an error the socket
    // outlives: the next try goes out on it.
    if (error && error != asio::error::connection_refused) return Fail(error, generation);
    if (error) failure_ = error.message();
    ReadUdp(generation);
  });
}

void Dc09Path::Fail(const error_code& error, unsigned generation) {
  if (generation != generation_ || error == asio::error::operation_aborted) return;
  failure_ = error == asio::error::eof ? "closed by the receiver" : error.message();
  Close();
}

void Dc09Path::Close() {
  ++generation_;
  connected_ = false;
  error_code ignored;
  resolver_.cancel();
  if (tcp_.is_open()) {
    tcp_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    tcp_.close(ignored);
  }
  if (udp_.is_open()) udp_.close(ignored);
}

}  // namespace tarvin
