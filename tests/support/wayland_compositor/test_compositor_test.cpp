// The test compositor records what a locking client does: a raw client
// locks, shows a buffer on the output, is told `locked`, unlocks; a client
// that dies locked leaves the session locked; a refusing compositor answers
// `finished`.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <wayland-client.h>

#include <cstring>

#include "compositor_process.h"
#include "ext-session-lock-v1-client-protocol.h"

#if defined(__SANITIZE_ADDRESS__)
// The raw client leaves its proxies to the disconnect: the leak checker
// leaves them alone.
extern "C" const char* __lsan_default_suppressions() { return "leak:libwayland-client.so\n"; }
#endif

namespace orvo::testing {
namespace {

struct Client {
  wl_display* display = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_output* output = nullptr;
  ext_session_lock_manager_v1* manager = nullptr;
  ext_session_lock_v1* lock = nullptr;
  wl_surface* surface = nullptr;
  bool locked = false, finished = false;

  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* c = static_cast<Client*>(data);
    auto bind = [&](const wl_interface* i, uint32_t v) { return wl_registry_bind(registry, name, i, v); };
    if (std::strcmp(interface, "wl_compositor") == 0) c->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    if (std::strcmp(interface, "wl_shm") == 0) c->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    if (std::strcmp(interface, "wl_output") == 0) c->output = static_cast<wl_output*>(bind(&wl_output_interface, 3));
    if (std::strcmp(interface, "ext_session_lock_manager_v1") == 0)
      c->manager = static_cast<ext_session_lock_manager_v1*>(bind(&ext_session_lock_manager_v1_interface, 1));
  }
  static void GlobalGone(void*, wl_registry*, uint32_t) {}
  static void Locked(void* data, ext_session_lock_v1*) { static_cast<Client*>(data)->locked = true; }
  static void Finished(void* data, ext_session_lock_v1*) { static_cast<Client*>(data)->finished = true; }
  // A black buffer of the size asked for.
  static void Configure(void* data, ext_session_lock_surface_v1* s, uint32_t serial, uint32_t w, uint32_t h) {
    auto* c = static_cast<Client*>(data);
    ext_session_lock_surface_v1_ack_configure(s, serial);
    const int fd = memfd_create("buffer", MFD_CLOEXEC);
    if (ftruncate(fd, static_cast<off_t>(w) * h * 4) != 0) return;
    wl_shm_pool* pool = wl_shm_create_pool(c->shm, fd, static_cast<int32_t>(w * h * 4));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<int32_t>(w), static_cast<int32_t>(h),
                                                  static_cast<int32_t>(w * 4), WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(c->surface, buffer, 0, 0);
    wl_surface_commit(c->surface);
  }

  // Connects and asks for the lock with one lock surface.
  explicit Client(const CompositorProcess& compositor) {
    setenv("XDG_RUNTIME_DIR", compositor.runtime_dir().c_str(), 1);
    display = wl_display_connect(CompositorProcess::kSocket);
    if (display == nullptr) return;
    static const wl_registry_listener kRegistry = {Global, GlobalGone};
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, this);
    wl_display_roundtrip(display);
    if (manager == nullptr || output == nullptr) return;
    static const ext_session_lock_v1_listener kLock = {Locked, Finished};
    lock = ext_session_lock_manager_v1_lock(manager);
    ext_session_lock_v1_add_listener(lock, &kLock, this);
    surface = wl_compositor_create_surface(this->compositor);
    static const ext_session_lock_surface_v1_listener kSurface = {Configure};
    ext_session_lock_surface_v1_add_listener(ext_session_lock_v1_get_lock_surface(lock, surface, output), &kSurface, this);
    for (int i = 0; i < 5 && !locked && !finished; ++i) wl_display_roundtrip(display);
  }
};

TEST(TestCompositorTest, RecordsALockItsUnlockAndADeadLocker) {
  {
    CompositorProcess compositor({});
    ASSERT_TRUE(compositor.ready());
    Client client(compositor);
    ASSERT_TRUE(client.locked);
    EXPECT_TRUE(compositor.Await("commit lock_surface 0 640x480"));
    ext_session_lock_v1_unlock_and_destroy(client.lock);
    wl_display_roundtrip(client.display);
    EXPECT_TRUE(compositor.Await("unlock"));
    wl_display_disconnect(client.display);
  }
  {
    CompositorProcess compositor({"--output", "320x200"});
    Client client(compositor);
    ASSERT_TRUE(client.locked);
    wl_display_disconnect(client.display);  // dies without unlocking
    EXPECT_TRUE(compositor.Await("gone locked"));
  }
  {
    CompositorProcess compositor({"--refuse-lock"});
    Client client(compositor);
    EXPECT_TRUE(client.finished);
    EXPECT_FALSE(client.locked);
    EXPECT_TRUE(compositor.Await("finished"));
    wl_display_disconnect(client.display);
  }
}

}  // namespace
}  // namespace orvo::testing
