#include "X11TestSupport.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace korvix::test {

namespace {

bool CanOpen(const std::string &name) {
    Display *display = XOpenDisplay(name.c_str());
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
}

// Reads the display number Xvfb writes to `fd` once it is ready for clients; -1 when
// nothing arrives within five seconds or the server exits first.
int ReadDisplayNumber(int fd) {
    std::string text;
    while (text.find('\n') == std::string::npos) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 5000) <= 0) return -1;
        char buffer[16];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) return -1;
        text.append(buffer, static_cast<size_t>(count));
    }
    return std::atoi(text.c_str());
}

}  // namespace

XvfbServer::XvfbServer(int width, int height, const std::vector<std::string> &extraArguments) {
    // The server picks a free display number itself (-displayfd), skipping numbers whose
    // sockets are taken, also by servers this process cannot see in /tmp, and writes the
    // number to the pipe when it accepts clients.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    const int writeFd = fcntl(pipeFds[1], F_DUPFD, 10);  // a copy without close-on-exec
    std::vector<std::string> arguments = {
        "Xvfb", "-displayfd", std::to_string(writeFd), "-screen", "0",
        std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp",
        // Without it the server resets whenever its last client leaves and refuses
        // connections meanwhile.
        "-noreset"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char *> argv;
    for (std::string &argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t pid = writeFd >= 0 ? fork() : -1;
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (writeFd >= 0) close(writeFd);
    const int number = pid > 0 ? ReadDisplayNumber(pipeFds[0]) : -1;
    close(pipeFds[0]);
    if (pid <= 0) return;
    pid_ = pid;
    name_ = ":" + std::to_string(number);
    if (number < 0 || !CanOpen(name_)) {  // Xvfb missing, refused to start, or too slow
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

ScopedDisplay::ScopedDisplay(const std::optional<std::string> &value) {
    if (const char *current = std::getenv("DISPLAY")) previous_ = current;
    if (value) {
        setenv("DISPLAY", value->c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

ScopedDisplay::~ScopedDisplay() {
    if (previous_) {
        setenv("DISPLAY", previous_->c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

Display *OpenTestDisplay() {
    // A private server for the rest of the test process. On a server shared with other
    // test processes, a window another test maps at the same place can cover ours, and
    // reading back a covered window returns what covers it.
    static std::unique_ptr<XvfbServer> server;
    if (!server) server = std::make_unique<XvfbServer>(1920, 1200);
    if (server->Started()) setenv("DISPLAY", server->Name().c_str(), 1);
    // Without Xvfb, the display the tests were started with, if any.
    return XOpenDisplay(nullptr);
}

TestConnection::TestConnection() : display(OpenTestDisplay()) {}

TestConnection::~TestConnection() {
    if (display != nullptr) XCloseDisplay(display);
}

Geometry GetGeometry(Display *display, Window window) {
    Geometry geometry;
    Window root = 0;
    Window *children = nullptr;
    unsigned count = 0;
    unsigned border = 0;
    unsigned depth = 0;
    XGetGeometry(display, window, &root, &geometry.x, &geometry.y, &geometry.width,
                 &geometry.height, &border, &depth);
    if (XQueryTree(display, window, &root, &geometry.parent, &children, &count) && children) {
        XFree(children);
    }
    return geometry;
}

std::vector<uint32_t> ReadPixels(Display *display, Window window, int width, int height) {
    XImage *image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    const Visual *visual = attributes.visual;
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (((mask >> shift) & 1) == 0) ++shift;
        const unsigned long maximum = mask >> shift;
        return static_cast<uint32_t>((((pixel & mask) >> shift) * 255 + maximum / 2) / maximum);
    };
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                channel(pixel, visual->red_mask) << 16 | channel(pixel, visual->green_mask) << 8 |
                channel(pixel, visual->blue_mask);
        }
    }
    XDestroyImage(image);
    return pixels;
}

std::string ClassHintOf(Display *display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return {};
    std::string text = std::string(hint.res_name) + "/" + hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return text;
}

std::string TitleOf(Display *display, Window window) {
    char *name = nullptr;
    if (!XFetchName(display, window, &name) || name == nullptr) return {};
    std::string title = name;
    XFree(name);
    return title;
}

}  // namespace korvix::test
