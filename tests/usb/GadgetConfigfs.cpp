#include "GadgetConfigfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool makeDir(const std::string& Path) {
    return mkdir(Path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string firstController() {
    DIR* D = opendir("/sys/class/udc");
    if (!D) {
        return {};
    }
    std::string Name;
    while (dirent* E = readdir(D)) {
        if (E->d_name[0] != '.') {
            Name = E->d_name;
            break;
        }
    }
    closedir(D);
    return Name;
}

}  // namespace

TGadgetConfigfs::TGadgetConfigfs(std::string Root) : root_(std::move(Root)) {}

bool TGadgetConfigfs::fail(const std::string& What) {
    error_ = What + ": " + std::strerror(errno);
    return false;
}

bool TGadgetConfigfs::write(const std::string& Relative, const std::string& Value) {
    std::string Path = root_ + "/" + Relative;
    int Fd = open(Path.c_str(), O_WRONLY);
    if (Fd < 0) {
        return fail("open " + Path);
    }
    ssize_t N = ::write(Fd, Value.data(), Value.size());
    int Saved = errno;
    close(Fd);
    errno = Saved;
    if (N != static_cast<ssize_t>(Value.size())) {
        return fail("write " + Path);
    }
    return true;
}

bool TGadgetConfigfs::Create(const std::string& Manufacturer, const std::string& Product,
                             const std::string& Serial) {
    if (!makeDir(root_)) {
        return fail("mkdir " + root_);
    }
    if (!makeDir(root_ + "/strings/0x409") || !makeDir(root_ + "/configs/c.1") ||
        !makeDir(root_ + "/configs/c.1/strings/0x409")) {
        return fail("mkdir gadget folders");
    }
    return write("idVendor", "0x22b8") && write("bcdDevice", "0x0001") &&
           write("bcdUSB", "0x0200") && write("strings/0x409/manufacturer", Manufacturer) &&
           write("strings/0x409/product", Product) && write("strings/0x409/serialnumber", Serial) &&
           write("configs/c.1/strings/0x409/configuration", "Phone") &&
           write("configs/c.1/MaxPower", "100");
}

bool TGadgetConfigfs::SetProduct(unsigned ProductId) {
    char Text[16];
    std::snprintf(Text, sizeof Text, "0x%04x", ProductId);
    return write("idProduct", Text);
}

bool TGadgetConfigfs::AddFunction(const std::string& Function) {
    std::string Instance = root_ + "/functions/" + Function;
    if (!makeDir(Instance)) {
        return fail("mkdir " + Instance);
    }
    std::string Link = root_ + "/configs/c.1/" + Function;
    if (symlink(Instance.c_str(), Link.c_str()) != 0 && errno != EEXIST) {
        return fail("link " + Link);
    }
    return true;
}

bool TGadgetConfigfs::RemoveFunction(const std::string& Function) {
    std::string Link = root_ + "/configs/c.1/" + Function;
    if (unlink(Link.c_str()) != 0 && errno != ENOENT) {
        return fail("unlink " + Link);
    }
    return true;
}

bool TGadgetConfigfs::Bind() {
    std::string Udc = firstController();
    if (Udc.empty()) {
        errno = ENODEV;
        return fail("no device controller");
    }
    return write("UDC", Udc);
}

bool TGadgetConfigfs::Unbind() {
    return write("UDC", "\n");
}
