/* The least any reader of an installed environment must do: list one
 * site-packages directory and read the header block of each *.dist-info's
 * METADATA once (up to the first blank line, in 4 KB reads), parsing nothing.
 * bench/run.sh times it beside the tool, so that the tool's cost is stated as
 * a multiple of this floor.
 *
 *   metadata_floor SITE_PACKAGES   # prints the number of headers and bytes read
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static int is_dist_info(const char* name) {
    const size_t length = strlen(name), suffix = strlen(".dist-info");
    return length > suffix && strcmp(name + length - suffix, ".dist-info") == 0;
}

/* Bytes read from the file until its header block ended (or the file did). */
static size_t read_header(int directory, const char* entry) {
    char path[4096], buffer[4096];
    if (snprintf(path, sizeof path, "%s/METADATA", entry) >= (int)sizeof path) return 0;
    const int fd = openat(directory, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    size_t total = 0;
    char last = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        total += (size_t)got;
        /* A blank line, possibly across the boundary of two reads. */
        if ((last == '\n' && buffer[0] == '\n') || memmem(buffer, (size_t)got, "\n\n", 2)) break;
        last = buffer[got - 1];
    }
    close(fd);
    return total;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: metadata_floor SITE_PACKAGES\n");
        return 2;
    }
    DIR* listing = opendir(argv[1]);
    if (!listing) {
        perror(argv[1]);
        return 1;
    }
    size_t headers = 0, bytes = 0;
    for (struct dirent* entry; (entry = readdir(listing)) != NULL;) {
        if (!is_dist_info(entry->d_name)) continue;
        bytes += read_header(dirfd(listing), entry->d_name);
        ++headers;
    }
    closedir(listing);
    printf("%zu headers, %zu bytes\n", headers, bytes);
    return 0;
}
