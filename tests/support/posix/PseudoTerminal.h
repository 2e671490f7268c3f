#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A pseudo-terminal standing for a pad on a serial line: the code under test opens the slave
// side by its path, the test plays the pad on the master side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The number n of /dev/pts/n.
    int Number() const { return number_; }
    int MasterFd() const { return master_; }
    void Write(const std::vector<uint8_t>& bytes) const;
    // What the slave side has sent, waiting up to timeoutMs for `count` bytes.
    std::vector<uint8_t> Read(size_t count, int timeoutMs) const;
    // Hangs the line up: the slave side sees the other end gone.
    void CloseMaster();
    // Whether the slave side is marked for exclusive use (TIOCEXCL). The mark outlives the
    // descriptor that set it and makes every later open by an ordinary user fail with EBUSY;
    // root opens regardless, so the mark is read rather than inferred from an open.
    bool SlaveIsExclusive() const;

private:
    int master_ = -1;
    int number_ = -1;
};

}  // namespace testsupport
