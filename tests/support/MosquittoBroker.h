#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"

extern char** environ;

struct MosquittoBrokerOptions {
    std::string User = {};  // not empty: only this user with this password may connect
    std::string Password = {};
    bool Tls = false;
};

// A mosquitto broker of the test's own on 127.0.0.1 (a free port), started from a generated
// configuration: optionally with a password file (no anonymous clients) and with TLS, its
// certificate signed by a certificate authority made for the test. It can be killed (like a
// crash) and started again on the same port; the destructor kills it.
class MosquittoBroker {
public:
    explicit MosquittoBroker(MosquittoBrokerOptions Options = {}) : FOptions(std::move(Options)) {
        if (!FOptions.User.empty()) {
            FPasswordFile = FFolder.Path() + "/passwords";
            Run({"/usr/bin/mosquitto_passwd", "-c", "-b", FPasswordFile, FOptions.User,
                 FOptions.Password});
        }
        if (FOptions.Tls) {
            MakeCertificates();
        }
        // A port found free may be taken before the broker binds it: another one then.
        for (int attempt = 0; attempt < 5; ++attempt) {
            FPort = FreePort();
            if (Launch()) {
                return;
            }
        }
        throw std::runtime_error("mosquitto does not start");
    }
    ~MosquittoBroker() { Kill(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    int Port() const { return FPort; }
    // The authority that signed the broker's certificate, and one that did not (TLS only).
    std::string CaFile() const { return FFolder.Path() + "/ca.crt"; }
    std::string OtherCaFile() const { return FFolder.Path() + "/other-ca.crt"; }
    // The broker's own log.
    std::string LogFile() const { return FFolder.Path() + "/broker.log"; }
    // How many lines of the broker's log contain Text ("not authorised": refused clients).
    size_t LogCount(const std::string& Text) const {
        std::ifstream in(LogFile());
        size_t count = 0;
        for (std::string line; std::getline(in, line);) {
            count += line.find(Text) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    // Kills the broker at once, as if it crashed: no will, nothing said to the clients.
    void Kill() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            int status = 0;
            ::waitpid(FPid, &status, 0);
            FPid = -1;
        }
    }
    // Starts it again on the port it had (retained messages are gone: no persistence).
    void Restart() {
        Kill();
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (Launch()) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        throw std::runtime_error("mosquitto does not start again");
    }

private:
    static int FreePort() {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (probe < 0 || ::bind(probe, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no free port on 127.0.0.1");
        }
        ::close(probe);
        return ntohs(address.sin_port);
    }

    static bool Accepts(int Port) {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(Port));
        const bool accepted =
            ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        return accepted;
    }

    // Runs a program to its end with its output in the broker's log; throws when it fails.
    void Run(const std::vector<std::string>& Arguments) {
        const pid_t child = Spawn(Arguments);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            throw std::runtime_error(Arguments.front() + " failed");
        }
    }

    // Starts a program with its output in the broker's log. The child is killed when the
    // thread that started it ends, so a test that dies leaves no broker behind (tests start
    // brokers on their main thread).
    pid_t Spawn(const std::vector<std::string>& Arguments) {
        std::vector<char*> argv;
        for (const std::string& argument : Arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const std::string log = LogFile();
        const pid_t parent = ::getpid();
        const pid_t child = ::fork();
        if (child == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            const int input = ::open("/dev/null", O_RDONLY);
            const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (input < 0 || output < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
                ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0) {
                ::_exit(127);
            }
            // Nothing of the test's (its clients' sockets) stays open in the broker.
            ::close_range(3, ~0U, 0);
            ::execve(argv[0], argv.data(), environ);
            ::_exit(127);
        }
        if (child < 0) {
            throw std::runtime_error("cannot start " + Arguments.front());
        }
        return child;
    }

    void MakeCertificates() {
        const std::string folder = FFolder.Path() + "/";
        const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
        auto request = [&](std::vector<std::string> Arguments) {
            std::vector<std::string> all = {"/usr/bin/openssl", "req"};
            all.insert(all.end(), ec.begin(), ec.end());
            all.insert(all.end(), Arguments.begin(), Arguments.end());
            Run(all);
        };
        request({"-x509", "-days", "2", "-subj", "/CN=Tandrel Test CA", "-keyout",
                 folder + "ca.key", "-out", folder + "ca.crt"});
        request({"-x509", "-days", "2", "-subj", "/CN=Unrelated CA", "-keyout",
                 folder + "other-ca.key", "-out", folder + "other-ca.crt"});
        request({"-subj", "/CN=127.0.0.1", "-keyout", folder + "server.key", "-out",
                 folder + "server.csr"});
        std::ofstream(folder + "server.ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
        Run({"/usr/bin/openssl", "x509", "-req", "-days", "2", "-in", folder + "server.csr", "-CA",
             folder + "ca.crt", "-CAkey", folder + "ca.key", "-CAcreateserial", "-extfile",
             folder + "server.ext", "-out", folder + "server.crt"});
    }

    // Writes the configuration for FPort and starts the broker; false when it ended (the port
    // was taken) or did not listen within a few seconds.
    bool Launch() {
        const std::string config = FFolder.Path() + "/mosquitto.conf";
        {
            std::ofstream out(config, std::ios::trunc);
            // Run as root, mosquitto would switch to its own user, who cannot read this folder.
            if (const passwd* user = ::getpwuid(::geteuid())) {
                out << "user " << user->pw_name << "\n";
            }
            out << "persistence false\n";
            out << "listener " << FPort << " 127.0.0.1\n";
            if (FPasswordFile.empty()) {
                out << "allow_anonymous true\n";
            } else {
                out << "allow_anonymous false\npassword_file " << FPasswordFile << "\n";
            }
            if (FOptions.Tls) {
                out << "cafile " << CaFile() << "\ncertfile " << FFolder.Path()
                    << "/server.crt\nkeyfile " << FFolder.Path() << "/server.key\n";
            }
        }
        FPid = Spawn({"/usr/sbin/mosquitto", "-c", config});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(FPid, &status, WNOHANG) == FPid) {
                FPid = -1;
                return false;
            }
            if (Accepts(FPort)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Kill();
        return false;
    }

    MosquittoBrokerOptions FOptions;
    TempFolder FFolder;
    std::string FPasswordFile;
    int FPort = 0;
    pid_t FPid = -1;
};
