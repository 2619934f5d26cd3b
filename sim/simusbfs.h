#pragma once

// gio names a struct member "signals", which Qt defines as a keyword: umockdev goes first.
#include <glib.h>
#include <umockdev.h>

#include <QByteArray>

#include <memory>
#include <vector>

struct usbdevfs_urb;

namespace sim {

class SimPrinter;

namespace usbfs {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GRef = std::unique_ptr<T, GObjectUnref>;

struct Urb
{
    GRef<UMockdevIoctlData> urb; // the client's struct usbdevfs_urb
    GRef<UMockdevIoctlData> buffer;
    unsigned char endpoint = 0;

    usbdevfs_urb* header() const;
};

using Urbs = std::vector<std::unique_ptr<Urb>>;

// One open of the device node: its URBs and whether it holds the interface.
struct Client
{
    GRef<UMockdevIoctlClient> client;
    Urbs pending;
    Urbs done;
    bool claimed = false;      // the printer interface
    bool otherClaimed = false; // the other interface of a composite printer

    bool connected() const { return umockdev_ioctl_client_get_connected(client.get()); }
};

enum class Node
{
    Fifo,
    Missing,
    Refused
};

struct Device
{
    std::unique_ptr<SimPrinter> printer;
    QByteArray syspath;
    QByteArray devnode;  // /dev/bus/usb/001/NNN
    QByteArray nodePath; // the node inside the testbed
    int devnum = 0;
    int fifo = -1;
    bool fifoFull = false;
    Node node = Node::Fifo;
    std::vector<std::unique_ptr<Client>> clients;
};

// How one ioctl ends: an errno, or 0 and the value the call returns; and whether the printer
// is to be pulled out after it.
struct IoctlResult
{
    int error = 0;
    long value = 0;
    bool unplugNow = false;
};

Client& clientFor(Device& d, UMockdevIoctlClient* client);
IoctlResult handle(Device& d, Client& c, gulong request, UMockdevIoctlData* arg);
int reap(Client& c, UMockdevIoctlData* arg);
// Every URB still waiting ends as the kernel ends it for a device that went away.
void pullOut(Device& d);

// The device node is a FIFO kept full while nothing is reapable, so that it does not poll
// writable: libusb then sleeps in poll() instead of spinning on REAPURBNDELAY.
void syncFifo(Device& d);
// Hosts that still hold the old node must see it writable, or they never reap what is left.
void releaseFifo(Device& d);

} // namespace usbfs
} // namespace sim
