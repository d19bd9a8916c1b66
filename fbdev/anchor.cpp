// Room anchor: keeps the library non-empty while it has no other source.
namespace vexa_fbdev_anchor {
int anchor = 0;
}
