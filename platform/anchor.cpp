// Room anchor: keeps the library non-empty while it has no other source.
namespace vexa_platform_anchor {
int anchor = 0;
}
