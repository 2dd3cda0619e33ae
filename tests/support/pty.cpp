#include "support/pty.h"

namespace xev::test {

PtySession::PtySession(const Sandbox&, const std::vector<std::string>&) {}
PtySession::~PtySession() = default;
bool PtySession::read_until(const std::string&) { return false; }
void PtySession::wait_until_idle() {}
void PtySession::send(const std::string&) {}
int PtySession::wait_exit() { return -1; }
bool PtySession::terminal_restored() const { return false; }

}  // namespace xev::test
