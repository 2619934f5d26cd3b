#include "simusbfs.h"

#include "simdescriptors.h"
#include "simprinter.h"

#include <QHash>
#include <QMutexLocker>
#include <QRegularExpression>

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sim {

using usbfs::Device;
using usbfs::Node;

namespace {

constexpr const char* BusPath = "/devices/pci0000:00/0000:00:14.0";
constexpr int FullSpeedMbps = 12;
constexpr int HighSpeedMbps = 480;

} // namespace

struct SimBus::Impl
{
    usbfs::GRef<UMockdevTestbed> testbed;
    usbfs::GRef<UMockdevIoctlBase> handler;
    QByteArray rootDir;
    mutable QMutex mutex;
    std::vector<std::unique_ptr<Device>> devices;
    QHash<QString, QPair<QByteArray, int>> hubs; // name -> sysfs path and devnum, root excepted
    int nextDevnum = usb::RootHubDevnum + 1;

    Device* deviceForNode(const char* devnode) const
    {
        for (const auto& d : devices) {
            if (d->devnode == devnode)
                return d.get();
        }
        return nullptr;
    }

    int allocateDevnum()
    {
        // Device numbers are not reused soon, as the kernel does, so that a libusb context that
        // still holds an unplugged printer never mistakes a new one for it.
        for (int tries = 0; tries < 254; ++tries) {
            const int n = nextDevnum;
            nextDevnum = nextDevnum >= 255 ? usb::RootHubDevnum + 1 : nextDevnum + 1;
            bool used = false;
            for (const auto& d : devices)
                used = used || d->devnum == n;
            for (const auto& hub : qAsConst(hubs))
                used = used || hub.second == n;
            if (!used)
                return n;
        }
        return -1;
    }

    void addHub(const QString& name, const QByteArray& syspath, int devnum)
    {
        const QByteArray desc =
            usb::deviceDescriptor(0x1D6B, 0x0002, 0x09, 0) + usb::hubConfiguration();
        const bool root = devnum == usb::RootHubDevnum;
        umockdev_testbed_add_from_string(testbed.get(),
                                         usb::sysfsRecord(syspath, devnum, desc, root), nullptr);
        if (!root)
            hubs.insert(name, qMakePair(syspath, devnum));
    }

    bool hubInUse(const QString& name) const
    {
        for (const auto& d : devices) {
            if (d->printer->config().sysfsName.startsWith(name + QLatin1Char('.')))
                return true;
        }
        return false;
    }

    // Hubs that nothing hangs from any more are taken away, deepest first.
    QList<QByteArray> unusedHubs()
    {
        QStringList names = hubs.keys();
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        QList<QByteArray> paths;
        for (const QString& name : qAsConst(names)) {
            if (!hubInUse(name))
                paths.append(hubs.take(name).first);
        }
        return paths;
    }

    // The sysfs path of a device named like "1-2.1": every hub on the way is created once.
    QByteArray pathFor(const QString& name)
    {
        QByteArray path = QByteArray(BusPath) + "/usb1";
        const int dash = name.indexOf(QLatin1Char('-'));
        const QStringList ports = name.mid(dash + 1).split(QLatin1Char('.'));
        QString prefix = name.left(dash + 1);
        for (int i = 0; i < ports.size(); ++i) {
            prefix += (i ? QStringLiteral(".") : QString()) + ports[i];
            path += "/" + prefix.toLatin1();
            if (i + 1 < ports.size() && !hubs.contains(prefix) && !hasDevice(prefix))
                addHub(prefix, path, allocateDevnum());
        }
        return path;
    }

    bool hasDevice(const QString& name) const
    {
        for (const auto& d : devices) {
            if (d->printer->config().sysfsName == name)
                return true;
        }
        return false;
    }

    static Node nodeFor(Fault fault)
    {
        return fault == Fault::Gone          ? Node::Missing
               : fault == Fault::OpenRefused ? Node::Refused
                                             : Node::Fifo;
    }

    // An unplugged printer's node is gone; one refusing the open keeps a node nobody may open.
    void syncNode(Device& d, Fault fault)
    {
        if (nodeFor(fault) != d.node && !d.printer->unplugged())
            setNode(d, nodeFor(fault));
    }

    // Root opens any node whatever its mode: the preloaded refuse-open library fails the opens of
    // the nodes listed here with EACCES. Replaced whole, so that a reader never sees half a list.
    void writeRefusedNodes()
    {
        QByteArray list;
        for (const auto& d : devices) {
            if (d->node == Node::Refused)
                list += d->devnode + "\n";
        }
        const QByteArray path = rootDir + "/refused-nodes";
        const QByteArray temp = path + ".new";
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return;
        const bool written = ::write(fd, list.constData(), size_t(list.size())) == list.size();
        ::close(fd);
        if (written)
            ::rename(temp.constData(), path.constData());
    }

    void setNode(Device& d, Node node)
    {
        usbfs::releaseFifo(d);
        ::unlink(d.nodePath.constData());
        d.node = node;
        if (node == Node::Missing) {
            writeRefusedNodes();
            return;
        }
        ::mkfifo(d.nodePath.constData(), 0666);
        d.fifo = ::open(d.nodePath.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        d.fifoFull = false;
        writeRefusedNodes();
        usbfs::syncFifo(d);
    }

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        usbfs::IoctlResult result{ENODEV};
        QByteArray removePath;
        {
            QMutexLocker lock(&impl->mutex);
            Device* d = impl->deviceForNode(umockdev_ioctl_client_get_devnode(client));
            if (d && !d->printer->unplugged()) {
                result = usbfs::handle(*d, usbfs::clientFor(*d, client), request, arg);
                if (result.unplugNow) {
                    usbfs::pullOut(*d);
                    removePath = d->syspath;
                } else {
                    // A fault that a transfer set off may change the node.
                    impl->syncNode(*d, d->printer->fault());
                    usbfs::syncFifo(*d);
                }
            } else if (d && request == USBDEVFS_REAPURBNDELAY) {
                result.error = usbfs::reap(usbfs::clientFor(*d, client), arg);
            }
        }
        if (!removePath.isEmpty())
            umockdev_testbed_remove_device(impl->testbed.get(), ("/sys" + removePath).constData());
        umockdev_ioctl_client_complete(client, result.error ? -1 : result.value, result.error);
        return TRUE;
    }
};

SimBus& SimBus::instance()
{
    static SimBus bus;
    return bus;
}

SimBus::SimBus() : d(std::make_unique<Impl>())
{
    d->testbed.reset(umockdev_testbed_new());
    gchar* root = umockdev_testbed_get_root_dir(d->testbed.get());
    d->rootDir = root;
    g_free(root);
    d->handler.reset(umockdev_ioctl_base_new());
    g_signal_connect_after(d->handler.get(), "handle-ioctl", G_CALLBACK(&Impl::onIoctl), d.get());
    // libusb looks for usbfs by finding a node under /dev/bus/usb: the root hub always has one.
    d->addHub(QStringLiteral("usb1"), QByteArray(BusPath) + "/usb1", usb::RootHubDevnum);
}

SimBus::~SimBus()
{
    clear();
    d->handler.reset();
    d->testbed.reset();
}

SimPrinter* SimBus::add(const PrinterConfig& config)
{
    {
        QMutexLocker lock(&d->mutex);
        static const QRegularExpression name(QStringLiteral("^1-\\d+(\\.\\d+)*$"));
        if (!name.match(config.sysfsName).hasMatch()) {
            qWarning("simulated printer: %s is not a device on bus 1",
                     qPrintable(config.sysfsName));
            return nullptr;
        }
        if (d->hasDevice(config.sysfsName) || d->hubInUse(config.sysfsName)) {
            qWarning("simulated printer: %s is taken on the bus", qPrintable(config.sysfsName));
            return nullptr;
        }
    }
    removeUnusedHubs();
    auto dev = std::make_unique<Device>();
    dev->printer = std::make_unique<SimPrinter>(config);
    {
        QMutexLocker lock(&d->mutex);
        dev->devnum = d->allocateDevnum();
        dev->syspath = d->pathFor(config.sysfsName);
    }
    if (dev->devnum < 0)
        return nullptr;
    const QByteArray num = QByteArray::number(dev->devnum).rightJustified(3, '0');
    dev->devnode = "/dev/bus/usb/001/" + num;
    dev->nodePath = d->rootDir + dev->devnode;
    const QByteArray descriptors =
        usb::deviceDescriptor(config.vendorId, config.productId, 0, usb::ProductStringIndex) +
        usb::printerConfiguration(config.interfaceString, config.maxPacket, config.composite);
    // The handler goes first, so that the node never exists without it.
    umockdev_testbed_attach_ioctl(d->testbed.get(), dev->devnode.constData(), d->handler.get(),
                                  nullptr);
    umockdev_testbed_add_from_string(
        d->testbed.get(),
        usb::sysfsRecord(dev->syspath, dev->devnum, descriptors, true,
                         config.maxPacket <= 64 ? FullSpeedMbps : HighSpeedMbps),
        nullptr);
    SimPrinter* printer = dev->printer.get();
    Impl* impl = d.get();
    Device* device = dev.get();
    printer->m_faultChanged = [impl, device](Fault fault) {
        QMutexLocker lock(&impl->mutex);
        impl->syncNode(*device, fault);
    };
    QMutexLocker lock(&d->mutex);
    d->setNode(*device, Node::Fifo);
    d->devices.push_back(std::move(dev));
    lock.unlock();
    if (config.fault != Fault::None)
        printer->setFault(config.fault, config.faultArg, config.faultTrigger);
    return printer;
}

void SimBus::unplug(SimPrinter* printer)
{
    std::unique_ptr<Device> dev;
    {
        QMutexLocker lock(&d->mutex);
        const auto found =
            std::find_if(d->devices.begin(), d->devices.end(),
                         [printer](const auto& dv) { return dv->printer.get() == printer; });
        if (found == d->devices.end())
            return;
        dev = std::move(*found);
        d->devices.erase(found);
        usbfs::pullOut(*dev);
        d->writeRefusedNodes();
    }
    umockdev_testbed_detach_ioctl(d->testbed.get(), dev->devnode.constData(), nullptr);
    const QByteArray sysPath = "/sys" + dev->syspath;
    if (::access((d->rootDir + sysPath).constData(), F_OK) == 0)
        umockdev_testbed_remove_device(d->testbed.get(), sysPath.constData());
}

void SimBus::clear()
{
    const QList<SimPrinter*> all = printers();
    for (SimPrinter* p : all)
        unplug(p);
    removeUnusedHubs();
}

void SimBus::removeUnusedHubs()
{
    QList<QByteArray> paths;
    {
        QMutexLocker lock(&d->mutex);
        paths = d->unusedHubs();
    }
    for (const QByteArray& path : qAsConst(paths))
        umockdev_testbed_remove_device(d->testbed.get(), ("/sys" + path).constData());
}

QList<SimPrinter*> SimBus::printers() const
{
    QMutexLocker lock(&d->mutex);
    QList<SimPrinter*> out;
    for (const auto& dev : d->devices)
        out.append(dev->printer.get());
    return out;
}

} // namespace sim
