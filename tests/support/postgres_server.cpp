#include "postgres_server.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

namespace qm5083::testing {

namespace {

constexpr const char *kBin = "/usr/lib/postgresql/15/bin/";
constexpr int kPort = 5432; // only the socket's name: the server listens on no TCP port

} // namespace

bool PostgresServer::available()
{
    return std::filesystem::exists(std::string(kBin) + "pg_ctl");
}

PostgresServer::PostgresServer()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qm5083-pg-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    if (::geteuid() == 0) {
        // The server refuses to run as root.
        if (std::system(("chown nobody:nogroup " + folder_).c_str()) != 0)
            throw std::runtime_error("chown failed");
        asUser_ = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    // A copy of the cluster made once for the run (tests/postgres_cluster.sh), or a new one.
    const char *made = std::getenv("QM5083_POSTGRES_TEMPLATE");
    if (made && std::filesystem::exists(std::string(made) + "/data/PG_VERSION"))
        run("cp -a " + std::string(made) + "/data " + folder_ + "/data");
    else
        run(std::string(kBin) + "initdb -D " + folder_
            + "/data -U qm5083 --auth=trust "
              "--no-locale -E UTF8 --no-sync >"
            + folder_ + "/initdb.log 2>&1");
}

PostgresServer::~PostgresServer()
{
    if (running_)
        kill();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string PostgresServer::run(const std::string &command) const
{
    std::string quoted;
    for (const char c : command)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    const std::string whole = "cd / && " + asUser_ + "sh -c '" + quoted + "'";
    std::string output;
    FILE *pipe = ::popen(whole.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("popen failed");
    std::array<char, 4096> buffer {};
    while (const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), read);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command + "\n" + output);
    return output;
}

void PostgresServer::start()
{
    // fsync off keeps each write quick; commits still reach the kernel before they are
    // acknowledged, so a server killed keeps every transaction it acknowledged.
    run(std::string(kBin) + "pg_ctl -D " + folder_ + "/data -l " + folder_
        + "/server.log -w -o \"-k " + folder_ + " -p " + std::to_string(kPort)
        + " -c listen_addresses= -c fsync=off\" start >/dev/null");
    running_ = true;
}

void PostgresServer::kill()
{
    run(std::string(kBin) + "pg_ctl -D " + folder_ + "/data -m immediate -w stop >/dev/null");
    running_ = false;
}

std::string PostgresServer::connection(const std::string &database)
{
    return "host=" + folder_ + " port=" + std::to_string(kPort) + " user=qm5083 dbname=" + database;
}

std::string PostgresServer::uri(const std::string &database)
{
    std::string host;
    for (const char c : folder_)
        host += c == '/' ? std::string("%2F") : std::string(1, c);
    return "postgresql://qm5083@" + host + ":" + std::to_string(kPort) + "/" + database;
}

std::string PostgresServer::psql(const std::string &sql, const std::string &database)
{
    return run("PGOPTIONS=\"-c client_min_messages=warning\" " + std::string(kBin)
               + "psql -X -q -At -v ON_ERROR_STOP=1 -h " + folder_ + " -p " + std::to_string(kPort)
               + " -U qm5083 -d " + database + " -c \"" + sql + "\"");
}

void PostgresServer::recreate(const std::string &database)
{
    psql("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)", "postgres");
    psql("CREATE DATABASE " + database, "postgres");
}

} // namespace qm5083::testing
