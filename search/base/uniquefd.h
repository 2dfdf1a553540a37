#ifndef UNIQUEFD_H
#define UNIQUEFD_H

#include <unistd.h>

// Owns one open descriptor (or none, -1) and closes it when it goes.
class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : descriptor(fd) { }
    ~UniqueFd()
    {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    UniqueFd(UniqueFd &&other) noexcept : descriptor(other.release()) { }
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) {
            UniqueFd old(descriptor);
            descriptor = other.release();
        }
        return *this;
    }

    int get() const { return descriptor; }
    // Gives the descriptor up to the caller, who closes it.
    int release()
    {
        const int fd = descriptor;
        descriptor = -1;
        return fd;
    }

private:
    int descriptor;
};

#endif  // UNIQUEFD_H
