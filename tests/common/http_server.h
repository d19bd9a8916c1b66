// A small HTTP server on 127.0.0.1 for tests of network items: it serves one file (with byte
// ranges, as players ask for them), or holds every request unanswered, or cuts the body short.
// It runs on a thread of its own and stops when the object goes.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace test_common {

class LocalHttpServer {
  public:
    enum class mode {
        serve,  // the file, whole or the range asked for
        hang,   // read the request, never answer
        cut,    // headers for the whole file, then half of it, then close
    };
    LocalHttpServer(mode how, const std::string& file = "");
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // http://127.0.0.1:PORT/NAME
    std::string url(const std::string& name) const;
    int requests() const { return requests_; }

  private:
    void run();
    void answer(int fd);

    mode how_;
    std::string body_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens: connections to it are refused.
int refused_port();

}  // namespace test_common
