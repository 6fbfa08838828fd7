// Takes the README's pictures of the viewer (run on demand by scripts/viewer_screenshot.sh): a gallery
// of landscapes this script draws, shown in headless Chromium; docs/viewer.png is the show running,
// docs/viewer-choose.png the page a browser with stock settings shows before the feed is chosen.
'use strict';

const path = require('path');
const {launchChromium, pictureIs, pictureAt} = require('./browsers');
const {drawScenes} = require('./scenes');
const {writeGallery, removeGallery} = require('./gallery');

const DOCS = path.join(__dirname, '..', '..', 'docs');
const SIZE = {width: 960, height: 600};
const NAMES = ['Am See.jpg', 'Abendrot.jpg', 'Berge im Herbst.jpg', 'Stra\xdfe & Meer.jpg', 'Ende.jpg'];

async function shoot(fileAccess, gallery, act, file) {
    const browser = await launchChromium(fileAccess);
    try {
        const page = await browser.open(gallery.pageUrl);
        await page.raw.setViewportSize(SIZE);
        await act(page);
        await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
        await page.raw.screenshot({path: path.join(DOCS, file)});
        console.log(`wrote docs/${file}`);
    } finally {
        await browser.close();
    }
}

async function main() {
    const painter = await launchChromium(true);
    const scenes = await drawScenes(painter.context, NAMES.length, 1500, 1000);
    await painter.close();
    const gallery = writeGallery(NAMES.map((name, i) => ({name: `Urlaub 2019/${name}`, bytes: scenes[i]})));
    try {
        await shoot(true, gallery, async (page) => {
            await page.waitFor(pictureIs, pictureAt(gallery, 1));
            await page.press('ArrowRight');
            await page.waitFor(pictureIs, pictureAt(gallery, 2));
            await page.press('p');  // the caption shows automatic advance; the note says how to stop it
        }, 'viewer.png');
        await shoot(false, gallery, async (page) => {
            await page.waitFor((title) => document.title === title, 'PicLens Lite - picture list not readable');
        }, 'viewer-choose.png');
    } finally {
        removeGallery(gallery);
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
