// What the browser tests on GTK share: the main loop, whose pages load and answer on later
// turns, and a window with a hosted place and a folder of pages.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace harbex_test {

// Runs the main loop until `done` holds or `seconds` have passed; false on the timeout.
inline bool RunUntil(const std::function<bool()>& done, gint64 seconds = 10) {
    const gint64 end = g_get_monotonic_time() + seconds * G_USEC_PER_SEC;
    while (!done()) {
        if (g_get_monotonic_time() > end) {
            return false;
        }
        if (!g_main_context_iteration(nullptr, FALSE)) {
            g_usleep(2000);
        }
    }
    return true;
}

// A window with a fixed layout and one hosted place in it, as the window layer makes, and a
// folder for the test's pages, whose name has a blank that file addresses must escape.
class BrowserWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the browser tests need an X display";
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "GTK cannot open the display";

        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        place = gtk_event_box_new();
        gtk_widget_set_size_request(place, 360, 240);
        gtk_fixed_put(GTK_FIXED(fixed), place, 5, 27);
        gtk_widget_show_all(window);

        char pattern[] = "/tmp/harbex-browser-XXXXXX";
        ASSERT_NE(g_mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root / "page dir";
        std::filesystem::create_directories(folder);
    }

    void TearDown() override {
        if (window != nullptr) {
            gtk_widget_destroy(window);
        }
        if (!root.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
    }

    // Writes a page into the folder and gives its path.
    std::string WritePage(const std::string& name, const std::string& html) {
        const std::filesystem::path file = folder / name;
        std::ofstream(file) << html;
        return file.string();
    }

    GtkWidget* window = nullptr;
    GtkWidget* place = nullptr;
    std::filesystem::path root;
    std::filesystem::path folder;
};

}  // namespace harbex_test
