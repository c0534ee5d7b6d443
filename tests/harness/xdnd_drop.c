/* Drops files onto the X window under a screen point, the way a file manager
 * does: an XDND drag from this X client, offering the files as text/uri-list.
 *
 *     xdnd-drop X Y PATH...      (Unix paths)
 *
 * Exit code: 0 the drop was accepted, 1 it was refused, 2 anything else (no
 * display, no drop-aware window under the point, no answer in time). Every
 * wait is bounded, so the tool ends on its own whatever the target does.
 *
 * The target may ask for the data at any moment after XdndEnter, so every
 * wait below keeps answering selection requests. Built for the host, not
 * for Windows. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

enum { ACCEPTED = 0, REFUSED = 1, FAILED = 2 };
enum { XDND_VERSION = 5, STEP_WAIT_MS = 5000 };

static Display *dpy;
static Window source, target;
static Atom a_aware, a_enter, a_position, a_status, a_leave, a_drop, a_finished, a_selection,
    a_copy, a_urilist, a_targets;
static char *uri_list; /* the answer to every request for text/uri-list */

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

/* file:///path with every byte outside the unreserved set and '/' as %XX. */
static char *make_uri_list(int count, char **paths) {
    size_t size = 1;
    for (int i = 0; i < count; ++i)
        size += strlen("file://") + 3 * strlen(paths[i]) + 2;
    char *out = malloc(size), *p = out;
    if (!out)
        return NULL;
    for (int i = 0; i < count; ++i) {
        p += sprintf(p, "file://");
        for (const unsigned char *c = (const unsigned char *)paths[i]; *c; ++c) {
            if ((*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') ||
                strchr("-._~/", *c))
                *p++ = (char)*c;
            else
                p += sprintf(p, "%%%02X", *c);
        }
        p += sprintf(p, "\r\n");
    }
    *p = '\0';
    return out;
}

static int is_drop_aware(Window w, long *version) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = NULL;
    int aware = XGetWindowProperty(dpy, w, a_aware, 0, 1, False, XA_ATOM, &type, &format, &count,
                                   &after, &data) == Success &&
                type == XA_ATOM && format == 32 && count == 1;
    if (aware)
        *version = (long)*(Atom *)data;
    if (data)
        XFree(data);
    return aware;
}

/* The topmost drop-aware window under the root point, walking down from the
 * root; None when there is none. */
static Window find_target(int x, int y, long *version) {
    Window root = DefaultRootWindow(dpy), w = root;
    for (;;) {
        Window child = None;
        int wx, wy;
        if (!XTranslateCoordinates(dpy, root, w, x, y, &wx, &wy, &child))
            return None;
        if (w != root && is_drop_aware(w, version))
            return w;
        if (child == None)
            return None;
        w = child;
    }
}

static void send_to_target(Atom type, long l1, long l2, long l3, long l4) {
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)source;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(dpy, target, False, NoEventMask, &e);
    XFlush(dpy);
}

static void answer_request(const XSelectionRequestEvent *req) {
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = req->requestor;
    reply.xselection.selection = req->selection;
    reply.xselection.target = req->target;
    reply.xselection.time = req->time;
    /* An old-style requestor names no property: the target's name is used. */
    Atom property = req->property != None ? req->property : req->target;
    reply.xselection.property = None;
    if (req->selection == a_selection && req->target == a_urilist) {
        XChangeProperty(dpy, req->requestor, property, a_urilist, 8, PropModeReplace,
                        (unsigned char *)uri_list, (int)strlen(uri_list));
        reply.xselection.property = property;
    } else if (req->selection == a_selection && req->target == a_targets) {
        Atom offered[] = {a_targets, a_urilist};
        XChangeProperty(dpy, req->requestor, property, XA_ATOM, 32, PropModeReplace,
                        (unsigned char *)offered, 2);
        reply.xselection.property = property;
    }
    XSendEvent(dpy, req->requestor, False, NoEventMask, &reply);
    XFlush(dpy);
}

/* Waits for a client message of this type from the target, answering
 * selection requests meanwhile; 0 when none came within the wait. */
static int wait_message(Atom type, XClientMessageEvent *out) {
    const double deadline = now_ms() + STEP_WAIT_MS;
    for (;;) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == SelectionRequest)
                answer_request(&e.xselectionrequest);
            else if (e.type == ClientMessage && e.xclient.message_type == type &&
                     (Window)e.xclient.data.l[0] == target) {
                *out = e.xclient;
                return 1;
            }
        }
        const double left = deadline - now_ms();
        if (left <= 0)
            return 0;
        const int fd = ConnectionNumber(dpy);
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(fd, &ready);
        struct timeval tv = {(long)(left / 1000), (long)((long)left % 1000) * 1000};
        select(fd + 1, &ready, NULL, NULL, &tv);
    }
}

/* A timestamp of the server's, got by touching a property of our window:
 * the selection is owned from it, and the target asks for the data with it. */
static Time server_time(void) {
    XSelectInput(dpy, source, PropertyChangeMask);
    XChangeProperty(dpy, source, a_selection, XA_STRING, 8, PropModeAppend,
                    (const unsigned char *)"", 0);
    const double deadline = now_ms() + STEP_WAIT_MS;
    XEvent e;
    while (now_ms() < deadline) {
        if (XCheckTypedWindowEvent(dpy, source, PropertyNotify, &e))
            return e.xproperty.time;
        XFlush(dpy);
        struct timespec pause = {0, 2 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return CurrentTime;
}

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: xdnd-drop X Y PATH...\n");
        return FAILED;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]);
    if (!(uri_list = make_uri_list(argc - 3, argv + 3)) || !(dpy = XOpenDisplay(NULL))) {
        fprintf(stderr, "xdnd-drop: no display\n");
        return FAILED;
    }
    a_aware = XInternAtom(dpy, "XdndAware", False);
    a_enter = XInternAtom(dpy, "XdndEnter", False);
    a_position = XInternAtom(dpy, "XdndPosition", False);
    a_status = XInternAtom(dpy, "XdndStatus", False);
    a_leave = XInternAtom(dpy, "XdndLeave", False);
    a_drop = XInternAtom(dpy, "XdndDrop", False);
    a_finished = XInternAtom(dpy, "XdndFinished", False);
    a_selection = XInternAtom(dpy, "XdndSelection", False);
    a_copy = XInternAtom(dpy, "XdndActionCopy", False);
    a_urilist = XInternAtom(dpy, "text/uri-list", False);
    a_targets = XInternAtom(dpy, "TARGETS", False);

    long version = 0;
    target = find_target(x, y, &version);
    if (target == None || version < 3) {
        fprintf(stderr, "xdnd-drop: no drop-aware window at %d,%d\n", x, y);
        return FAILED;
    }
    if (version > XDND_VERSION)
        version = XDND_VERSION;

    source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    const Time time = server_time();
    XSetSelectionOwner(dpy, a_selection, source, time);
    if (XGetSelectionOwner(dpy, a_selection) != source) {
        fprintf(stderr, "xdnd-drop: could not own the drag's selection\n");
        return FAILED;
    }

    XClientMessageEvent answer;
    send_to_target(a_enter, version << 24, (long)a_urilist, None, None);
    send_to_target(a_position, 0, (long)((x << 16) | (y & 0xFFFF)), (long)time, (long)a_copy);
    if (!wait_message(a_status, &answer)) {
        fprintf(stderr, "xdnd-drop: the target did not answer the drag\n");
        send_to_target(a_leave, 0, 0, 0, 0);
        return FAILED;
    }
    if (!(answer.data.l[1] & 1)) {
        send_to_target(a_leave, 0, 0, 0, 0);
        return REFUSED;
    }
    send_to_target(a_drop, 0, (long)time, 0, 0);
    if (!wait_message(a_finished, &answer)) {
        fprintf(stderr, "xdnd-drop: the target did not finish the drop\n");
        return FAILED;
    }
    /* Before version 5 the finish carries no verdict: the status's stands. */
    const int accepted = version < 5 || (answer.data.l[1] & 1);
    XCloseDisplay(dpy);
    return accepted ? ACCEPTED : REFUSED;
}
