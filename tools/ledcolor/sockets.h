// The inputs' UDP sockets, and Art-Net's answer to a controller's poll.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tool {

// A non-blocking UDP socket bound to `address`:`port`; -1, with the reason in `error`, when it
// cannot be had.
int BindUdp(const std::string& address, std::uint16_t port, std::string& error);

// Joins the E1.31 multicast group of `universe` on `interface` (a name; empty: the kernel's
// choice) for the socket `fd`, with the help of sockets it adds to `holders` (the caller closes
// them) once `fd` holds as many groups as the kernel allows one socket. False, with the reason,
// when the kernel refuses.
bool JoinUniverse(int fd, std::vector<int>& holders, std::uint16_t universe,
                  const std::string& interface, std::string& error);

// Art-Net's OpPoll (0x2000): whether a datagram is one.
bool IsArtPoll(std::span<const std::uint8_t> datagram);
// Whether a datagram is Art-Net of any kind ("Art-Net\0" first): such a packet that is no ArtDmx
// or ArtSync is not malformed, only not ours.
bool IsArtNet(std::span<const std::uint8_t> datagram);

// The ArtPollReply packets (Art-Net 4, OpCode 0x2100, 239 bytes) that list a node's output port
// addresses: one packet for each four ports of one Net and Sub-Net, numbered by its bind index
// from 1. `ip` is the node's address as seen by the poller, in network order.
std::vector<std::vector<std::uint8_t>> ArtPollReplies(const std::string& name,
                                                      std::span<const std::uint16_t> ports,
                                                      in_addr ip);

// The local address this host uses to reach `to`.
in_addr LocalAddressFor(const sockaddr_in& to);

}  // namespace tool
