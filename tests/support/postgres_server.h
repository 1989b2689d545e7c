#pragma once

#include <string>

namespace qm5083::testing {

// A real PostgreSQL 15 server of Debian's for the tests: its own cluster in a temporary folder
// (initdb), listening only on a Unix socket in that folder, run as an unprivileged user (nobody,
// when the tests run as root, as they do in CI), stopped and removed with this object. Each
// start takes a second or so.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Whether Debian's server programs are installed (scripts/deps.sh installs them).
    static bool available();

    void start();
    // Stopped at once, as a crash or a pulled cable stops it: no clean shutdown.
    void kill();
    bool running() const { return running_; }

    // A libpq connection string for a database of this server, made when missing.
    std::string connection(const std::string &database = "qm5083");
    // The same as a URI.
    std::string uri(const std::string &database = "qm5083");
    // Drops and makes the database again, empty.
    void recreate(const std::string &database = "qm5083");
    // Runs SQL with psql against a database; returns its output (unaligned, tuples only).
    std::string psql(const std::string &sql, const std::string &database = "qm5083");

private:
    std::string run(const std::string &command) const;

    std::string folder_;
    std::string asUser_; // the prefix that runs a command as the server's user
    bool running_ = false;
};

} // namespace qm5083::testing
