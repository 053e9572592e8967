# Renders each metafile alone through LibreOffice Draw: the page is shrunk to the
# picture and exported as a PNG whose longer side is the size asked for.
#
#   python3 make-references.py 400 OUTDIR ../corpus/emf/*.emf
#
# Needs LibreOffice (Debian: libreoffice-draw-nogui, python3-uno); the tests do not.
import sys, os, time, subprocess, uno
from com.sun.star.beans import PropertyValue
from com.sun.star.awt import Point

def pv(name, value):
    p = PropertyValue(); p.Name = name; p.Value = value; return p

proc = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore",
                         "--accept=pipe,name=qmref;urp;"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
for _ in range(60):
    try:
        ctx = resolver.resolve("uno:pipe,name=qmref;urp;StarOffice.ComponentContext"); break
    except Exception:
        time.sleep(0.5)
desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
longest = int(sys.argv[1]); out = sys.argv[2]
for src in sys.argv[3:]:
    doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(src)), "_blank", 0, (pv("Hidden", True),))
    page = doc.DrawPages.getByIndex(0)
    shape = page.getByIndex(0)
    size = shape.Size
    page.BorderLeft = page.BorderRight = page.BorderTop = page.BorderBottom = 0
    page.Width, page.Height = size.Width, size.Height
    shape.Position = Point(0, 0)
    s = longest / max(size.Width, size.Height)
    pw, ph = max(1, round(size.Width * s)), max(1, round(size.Height * s))
    fd = uno.Any("[]com.sun.star.beans.PropertyValue", (pv("PixelWidth", pw), pv("PixelHeight", ph)))
    name = os.path.join(out, os.path.splitext(os.path.basename(src))[0] + ".png")
    uno.invoke(doc, "storeToURL", (uno.systemPathToFileUrl(name), (pv("FilterName", "draw_png_Export"), pv("FilterData", fd))))
    doc.close(True)
    print(src, size.Width, size.Height, pw, ph)
proc.terminate()
