// How many replies per second hlsim sustains: one client socket keeps a window of players
// queries in flight across every listed server for a few seconds and counts what comes back.
//   bench_hlsim_load MASTER_PORT [SECONDS] [WINDOW]

#include "BenchCommon.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_hlsim_load MASTER_PORT [SECONDS] [WINDOW]\n");
        return 2;
    }
    const int masterPort = std::atoi(argv[1]);
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
    const int window = argc > 3 ? std::atoi(argv[3]) : 256;

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    // The list, page by page.
    std::vector<quint16> ports;
    unsigned char key[4] = { 0, 0, 0, 0 };
    for (;;) {
        char request[64] = { '1' };
        std::memcpy(request + 1, key, 4);
        const char filter[] = "\\empty\\1";
        std::memcpy(request + 5, filter, sizeof(filter));
        to.sin_port = htons(quint16(masterPort));
        sendto(fd, request, 5 + sizeof(filter), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
        pollfd p { fd, POLLIN, 0 };
        if (poll(&p, 1, 2000) <= 0) {
            std::fprintf(stderr, "bench_hlsim_load: no master reply\n");
            return 1;
        }
        unsigned char reply[65536];
        const ssize_t n = recv(fd, reply, sizeof(reply), 0);
        if (n < 10)
            return 1;
        std::memcpy(key, reply + 6, 4);
        for (ssize_t i = 10; i + 6 <= n; i += 6)
            ports.push_back(quint16(reply[i + 4] << 8 | reply[i + 5]));
        if (!key[0] && !key[1] && !key[2] && !key[3])
            break;
    }
    if (ports.empty())
        return 1;

    const char players[] = "\xFF\xFF\xFF\xFFplayers";
    size_t nextServer = 0;
    const auto sendOne = [&] {
        to.sin_port = htons(ports[nextServer++ % ports.size()]);
        sendto(fd, players, sizeof(players) - 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
    };
    for (int i = 0; i < window; ++i)
        sendOne();
    long long replies = 0;
    const auto start = std::chrono::steady_clock::now();
    const double cpu0 = rollcall::bench::processCpuSeconds();
    char buffer[65536];
    for (;;) {
        const double elapsed
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= seconds)
            break;
        pollfd p { fd, POLLIN, 0 };
        if (poll(&p, 1, 50) <= 0) {
            for (int i = 0; i < window; ++i) // lost in a full buffer: prime the window again
                sendOne();
            continue;
        }
        while (recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) {
            ++replies;
            sendOne();
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("hlsim load: %zu servers, window %d, %lld replies in %.2f s (load generator CPU %.2f s)\n",
        ports.size(), window, replies, elapsed, rollcall::bench::processCpuSeconds() - cpu0);
    rollcall::bench::printAgainstBound(
        "hlsim replies per second (at least)", double(replies) / elapsed, "/s", 30000.0);
    close(fd);
    return 0;
}
