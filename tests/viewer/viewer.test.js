// The slide-show viewer in headless Chromium with local file access allowed, on pages and feeds written
// byte for byte as the gallery builder writes them, with real JPEG, GIF and PNG files in folders whose
// names need coding. (stock.test.js runs both browsers with their stock settings.)
'use strict';

const {describe, it, before, after} = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const {VIEW, recordTitles, recordPictureAddresses, seen: seenInPage, pictureIs, pictureAt, launchChromium} =
    require('./browsers');
const pictures = require('./pictures');
const {codePath, cp1252, writeGallery, removeGallery} = require('./gallery');

const HOLD_MS = 1500;
const ADVANCE_MS = 4000;

// JPEG files come from the browser's own encoder: a canvas painted with the picture's blocks.
async function jpegOf(context, picture) {
    const page = await context.newPage();
    const base64 = await page.evaluate(({width, height, quadrants}) => {
        const canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
        const g = canvas.getContext('2d');
        quadrants.forEach((colour, i) => {
            g.fillStyle = `rgb(${colour.join(',')})`;
            g.fillRect(i % 2 ? width / 2 : 0, i < 2 ? 0 : height / 2, width / 2, height / 2);
        });
        return canvas.toDataURL('image/jpeg', 0.95).split(',')[1];
    }, {width: picture.width, height: picture.height, quadrants: picture.quadrants});
    await page.close();
    const bytes = Buffer.from(base64, 'base64');
    assert.deepEqual([...bytes.subarray(0, 3)], [0xff, 0xd8, 0xff], 'canvas gave no JPEG');
    return bytes;
}

async function openGallery(context, gallery, {fakeClock = false} = {}) {
    const page = await context.newPage();
    const requests = [];
    page.on('request', (request) => requests.push(request.url()));
    await page.addInitScript(recordTitles);
    if (fakeClock) {
        await page.clock.install();
    }
    await page.goto(gallery.pageUrl);
    return {page, requests};
}

function seen(page) {
    return page.evaluate(seenInPage);
}

// Waits until picture `n` (1-based) is the one shown, loaded and drawn.
async function waitForPicture(page, gallery, n) {
    await page.waitForFunction(pictureIs, pictureAt(gallery, n), {polling: 50, timeout: 10000});
}

async function waitForTitle(page, title) {
    await page.waitForFunction((t) => document.title === t, title, {polling: 50, timeout: 10000});
}

// A move that must not change the picture: nothing is loaded, so waiting briefly is enough.
async function assertStays(page, gallery, n, what) {
    await page.waitForTimeout(250);
    const now = await seen(page);
    assert.equal(now.position, `${n} / ${gallery.urls.length}`, what);
    assert.equal(now.src, gallery.urls[n - 1], what);
}

async function drag(page, fromX, toX, y) {
    await page.mouse.move(fromX, y);
    await page.mouse.down();
    await page.mouse.move(toX, y, {steps: 5});
    await page.mouse.up();
}

function titlesOf(records) {
    return records.map((record) => record.title);
}

function lastSegment(name) {
    return name.slice(name.lastIndexOf('/') + 1);
}

// Five pictures of the three kinds and three shapes, in folders with blanks, umlauts, sharp s, &, +,
// ', ~, %, # and a euro sign (a Windows-1252 byte that is no Latin-1 letter).
const WALK = [
    {name: 'Mein Urlaub/Stra\xdfe & Meer.jpg', kind: 'jpeg', picture: pictures.blocks(120, 120)},
    {name: "100% sicher #1/Gr\xfc\xdfe+K\xfcsse 'x' ~y.gif", kind: 'gif', picture: pictures.blocks(60, 120)},
    {name: 'blocks.png', kind: 'png', picture: pictures.blocks(160, 80)},
    {name: '\xc4\xd6\xdc \xe4\xf6\xfc/Preis 5 \u20ac.PNG', kind: 'png', picture: pictures.blocks(40, 40)},
    {name: 'Ende.jpeg', kind: 'jpeg', picture: pictures.blocks(64, 48)},
];

async function fileOf(context, entry) {
    if (entry.kind === 'jpeg') {
        return jpegOf(context, entry.picture);
    }
    return entry.kind === 'gif' ? pictures.encodeGif(entry.picture) : pictures.encodePng(entry.picture);
}

describe('the gallery files the tests write', () => {
    it('code a path the way the gallery builder does', () => {
        const rows = [
            ['C:\\Bilder\\Mein Urlaub\\Stra\xdfe & Meer.jpg', 'C:/Bilder/Mein%20Urlaub/Stra%DFe%20%26%20Meer.jpg'],
            ['C:\\100% #1\\a+b~\'c\'.gif', 'C:/100%25%20%231/a%2Bb%7E%27c%27.gif'],
            ['C:\\Preis 5 \u20ac\\\xc4\xd6\xdc\xe4\xf6\xfc\xe9.png', 'C:/Preis%205%20%80/%C4%D6%DC%E4%F6%FC%E9.png'],
        ];
        for (const [input, expected] of rows) {
            assert.equal(codePath(cp1252(input)), expected, `row ${JSON.stringify(input)}`);
        }
    });
});

describe('viewer with local file access allowed', {timeout: 60000}, () => {
    let browser;
    let walk;

    before(async () => {
        browser = await launchChromium(true);
        const files = [];
        for (const entry of WALK) {
            files.push({name: entry.name, bytes: await fileOf(browser.context, entry)});
        }
        walk = writeGallery(files);
    });

    after(async () => {
        if (walk) {
            removeGallery(walk);
        }
        await browser?.close();
    });

    it('keeps "view gallery" for 1.5 s after load, is "PicLens ..." while open and "view gallery" after Esc',
       async () => {
           const {page, requests} = await openGallery(browser.context, walk);
           await waitForPicture(page, walk, 1);
           await page.keyboard.press('Escape');
           await waitForTitle(page, 'view gallery');

           const titles = await page.evaluate(() => window.__titles);
           const loadedAt = await page.evaluate(() => window.__loadedAt);
           assert.deepEqual(titlesOf(titles), ['view gallery', 'PicLens Lite - 1 / 5', 'view gallery']);
           const openedAfter = titles[1].at - loadedAt;
           assert.ok(openedAfter >= HOLD_MS - 1, `show opened ${openedAfter} ms after load`);
           // The gallery builder gives up waiting for the viewer window after 10 s.
           assert.ok(openedAfter < 10000, `show opened only ${openedAfter} ms after load`);
           assert.equal((await seen(page)).open, false, 'the show is still there after Esc');
           const elsewhere = requests.filter((url) => !url.startsWith('file:///'));
           assert.deepEqual(elsewhere, [], 'the viewer loaded something that is not a local file');
           await page.close();
       });

    it('opens the show when the hold ends even while the feed is still being read', async () => {
        const page = await browser.context.newPage();
        await page.addInitScript(recordTitles);
        // The feed's read is held back until the test lets it go, as a slow disk or a huge feed would.
        await page.addInitScript(() => {
            const send = XMLHttpRequest.prototype.send;
            XMLHttpRequest.prototype.send = function (...args) {
                window.__readFeed = () => send.apply(this, args);
            };
        });
        await page.goto(walk.pageUrl);
        await waitForTitle(page, 'PicLens Lite - loading');
        assert.match((await seen(page)).message, /Loading the picture list/);
        await page.evaluate(() => window.__readFeed());
        await waitForPicture(page, walk, 1);

        const titles = await page.evaluate(() => window.__titles);
        const loadedAt = await page.evaluate(() => window.__loadedAt);
        assert.deepEqual(titlesOf(titles), ['view gallery', 'PicLens Lite - loading', 'PicLens Lite - 1 / 5']);
        const openedAfter = titles[1].at - loadedAt;
        assert.ok(openedAfter >= HOLD_MS - 1 && openedAfter < 10000, `show opened ${openedAfter} ms after load`);
        await page.close();
    });

    it('shows the content pictures in feed order with position and decoded file name', async () => {
        const {page} = await openGallery(browser.context, walk);
        for (let n = 1; n <= WALK.length; n++) {
            if (n > 1) {
                await page.keyboard.press('ArrowRight');
            }
            await waitForPicture(page, walk, n);
            const now = await seen(page);
            assert.equal(now.name, lastSegment(WALK[n - 1].name), `picture ${n}`);
            assert.equal(now.title, `PicLens Lite - ${n} / 5`, `picture ${n}`);
        }
        await page.close();
    });

    it('moves with each navigation key, and stays at either end', async () => {
        const {page} = await openGallery(browser.context, walk);
        await waitForPicture(page, walk, 1);
        const rows = [
            ['ArrowRight', 1, 2], ['ArrowDown', 2, 3], ['PageDown', 3, 4], ['Space', 4, 5],
            ['Space', 5, 5], ['ArrowRight', 5, 5],
            ['ArrowLeft', 5, 4], ['ArrowUp', 4, 3], ['PageUp', 3, 2], ['Shift+Space', 2, 1],
            ['ArrowLeft', 1, 1], ['PageUp', 1, 1],
            ['End', 1, 5], ['Home', 5, 1],
        ];
        for (const [key, from, to] of rows) {
            const row = `row ${key}: ${from} -> ${to}`;
            assert.equal((await seen(page)).position, `${from} / 5`, row);
            await page.keyboard.press(key);
            if (from === to) {
                await assertStays(page, walk, to, row);
                assert.match((await seen(page)).note, /first|last/, row);
            } else {
                await waitForPicture(page, walk, to);
            }
        }
        await page.close();
    });

    it('moves with a click on either half and with a swipe; the close button ends the show', async () => {
        const {page} = await openGallery(browser.context, walk);
        await waitForPicture(page, walk, 1);
        const rows = [
            ['click right half', () => page.mouse.click(600, 300), 2],
            ['click left half', () => page.mouse.click(200, 300), 1],
            ['swipe to the left', () => drag(page, 600, 300, 300), 2],
            ['swipe to the left', () => drag(page, 500, 200, 300), 3],
            ['swipe to the right', () => drag(page, 200, 500, 300), 2],
            ['short drag is a click', () => drag(page, 300, 320, 300), 1],
            ['End key', () => page.keyboard.press('End'), 5],
            ['swipe to the left at the last picture', () => drag(page, 600, 300, 300), 5],
        ];
        for (const [what, act, to] of rows) {
            await act();
            await waitForPicture(page, walk, to);
            await assertStays(page, walk, to, `${what}: moved more than one picture`);
        }
        await page.click('#pll-show .pll-close');
        await waitForTitle(page, 'view gallery');
        assert.equal((await seen(page)).open, false);
        await page.close();
    });

    it('P starts and stops automatic advance, which runs round after the last picture', async () => {
        const {page} = await openGallery(browser.context, walk, {fakeClock: true});
        await page.clock.runFor(HOLD_MS - 100);
        assert.equal((await seen(page)).title, 'view gallery', 'show opened before the hold ended');
        await page.clock.runFor(200);
        await waitForPicture(page, walk, 1);

        await page.keyboard.press('p');
        await page.clock.runFor(ADVANCE_MS - 100);
        assert.equal((await seen(page)).position, '1 / 5', 'advanced before the interval');
        await page.clock.runFor(200);
        await waitForPicture(page, walk, 2);
        await page.clock.runFor(ADVANCE_MS);
        await waitForPicture(page, walk, 3);

        await page.keyboard.press('P');
        await page.clock.runFor(3 * ADVANCE_MS);
        assert.equal((await seen(page)).position, '3 / 5', 'advanced after P stopped it');

        await page.keyboard.press('End');
        await waitForPicture(page, walk, 5);
        await page.keyboard.press('p');
        await page.clock.runFor(ADVANCE_MS + 100);
        await waitForPicture(page, walk, 1);
        await page.close();
    });

    it('draws each picture fitted to the window and centred on a dark background', async () => {
        const {page} = await openGallery(browser.context, walk);
        const check = async (n, tolerance, view) => {
            await waitForPicture(page, walk, n);
            await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
            const screenshot = pictures.decodePng(await page.screenshot());
            assert.equal(screenshot.width, view.width);
            const faults = pictures.checkFitted(screenshot, WALK[n - 1].picture, tolerance);
            assert.deepEqual(faults, [], `${WALK[n - 1].name} in ${view.width}x${view.height}`);
        };
        await check(1, 24, VIEW);  // JPEG, square: pillar-boxed
        await page.keyboard.press('ArrowRight');
        await check(2, 4, VIEW);  // GIF, tall
        await page.keyboard.press('ArrowRight');
        await check(3, 4, VIEW);  // PNG, wide: letter-boxed
        const narrow = {width: 400, height: 600};
        await page.setViewportSize(narrow);
        await check(3, 4, narrow);  // fitted again after the window changed
        await page.close();
    });

    it('loads the next and the previous picture ahead, and no others', async () => {
        const {page, requests} = await openGallery(browser.context, walk);
        const requested = (n) => requests.includes(walk.urls[n - 1]);
        await waitForPicture(page, walk, 1);
        await assert.doesNotReject(() => waitUntil(() => requested(2)), 'picture 2 was not loaded ahead');
        assert.deepEqual([3, 4, 5].filter(requested), [], 'pictures beyond the next were loaded');

        await page.keyboard.press('End');
        await waitForPicture(page, walk, 5);
        await assert.doesNotReject(() => waitUntil(() => requested(4)), 'picture 4 was not loaded ahead');
        assert.equal(requested(3), false, 'picture 3 was loaded without being near');
        await page.close();
    });
});

async function waitUntil(condition, timeoutMs = 5000) {
    const end = Date.now() + timeoutMs;
    while (!condition()) {
        if (Date.now() > end) {
            throw new Error('condition not met');
        }
        await new Promise((done) => setTimeout(done, 50));
    }
}

describe('viewer with pictures that fail and feeds without pictures', {timeout: 60000}, () => {
    let browser;
    const galleries = [];
    const gallery = (files) => {
        const written = writeGallery(files);
        galleries.push(written);
        return written;
    };

    before(async () => {
        browser = await launchChromium(true);
    });

    after(async () => {
        galleries.forEach(removeGallery);
        await browser?.close();
    });

    it('skips pictures that fail to load with a note naming them, in both directions', async () => {
        const good = pictures.encodePng(pictures.blocks(32, 32));
        const broken = Buffer.from('not a picture', 'latin1');
        const mixed = gallery([
            {name: 'a.png', bytes: good},
            {name: 'Fehlt ganz.jpg', bytes: null},
            {name: 'kaputt/kaputt.gif', bytes: broken},
            {name: 'b.png', bytes: good},
            {name: 'weg #2.png', bytes: null},
            {name: 'weg/auch weg.png', bytes: null},
        ]);
        const {page} = await openGallery(browser.context, mixed);
        await waitForPicture(page, mixed, 1);

        await page.keyboard.press('ArrowRight');
        await waitForPicture(page, mixed, 4);
        assert.match((await seen(page)).note, /Fehlt ganz\.jpg, kaputt\.gif/);

        // Both pictures after b.png fail, the second only once it is tried: the show turns back.
        await page.keyboard.press('ArrowRight');
        await page.waitForFunction(() => document.querySelector('#pll-show .pll-note').textContent.includes('auch weg'),
                                   null, {polling: 50, timeout: 10000});
        await waitForPicture(page, mixed, 4);
        assert.match((await seen(page)).note, /weg #2\.png, auch weg\.png/);
        assert.equal((await seen(page)).drawn, true, 'a broken picture is shown');

        await page.keyboard.press('ArrowLeft');
        await waitForPicture(page, mixed, 1);
        assert.match((await seen(page)).note, /kaputt\.gif, Fehlt ganz\.jpg/);
        const titles = titlesOf(await page.evaluate(() => window.__titles));
        assert.equal(titles[titles.length - 1], 'PicLens Lite - 1 / 6');
        await page.close();
    });

    it('counts a long run of skipped pictures and names only the last few', async () => {
        const missing = Array.from({length: 8}, (_, i) => ({name: `fehlt/Bild ${i + 1}.jpg`, bytes: null}));
        const run = gallery([...missing, {name: 'da.png', bytes: pictures.encodePng(pictures.blocks(32, 32))}]);
        const {page} = await openGallery(browser.context, run);
        await waitForPicture(page, run, 9);
        const note = (await seen(page)).note;
        assert.match(note, /\b8 pictures\b.*Bild 6\.jpg, Bild 7\.jpg, Bild 8\.jpg$/, note);
        assert.doesNotMatch(note, /Bild [1-5]\.jpg/, note);
        await page.close();
    });

    it('cancels the loads of pictures passed while a key is held, and frees pictures left behind', async () => {
        const files = Array.from({length: 12}, (_, i) => ({
            name: `Bild ${i + 1}.png`, bytes: pictures.encodePng(pictures.blocks(400 + i, 300)),
        }));
        const row = gallery(files);
        const page = await browser.context.newPage();
        // Every picture element the viewer gives an address, to count the loads still running.
        await page.addInitScript(recordPictureAddresses);
        await page.goto(row.pageUrl);
        await waitForPicture(page, row, 1);
        // The repeats of a held key come faster than any picture loads.
        const running = await page.evaluate(() => {
            for (let i = 0; i < 10; i++) {
                document.dispatchEvent(new KeyboardEvent('keydown', {key: 'ArrowRight', repeat: i > 0, bubbles: true}));
            }
            return new Set(window.__images.filter((image) => image.getAttribute('src') && !image.complete)).size;
        });
        assert.ok(running <= 3, `${running} loads still running after the key was held over 10 pictures`);
        await waitForPicture(page, row, 11);
        // Pictures left behind hold no image data: only the current one and its neighbours have an address.
        const kept = await page.evaluate(() => [...new Set(window.__images)]
            .map((image) => image.getAttribute('src')).filter(Boolean).map((src) => /Bild%20(\d+)/.exec(src)[1]).sort());
        assert.deepEqual(kept, ['10', '11', '12']);
        await page.close();
    });

    // The message rows: the gallery, what the message must say, the title while it is shown, and a
    // change made to the feed's text after it was written.
    const here = [{name: 'da.png', bytes: pictures.encodePng(pictures.blocks(32, 32))}];
    const messageRows = [
        ['an empty feed', () => [], /No pictures to show/, 'PicLens Lite - no pictures'],
        ['a feed of missing pictures', () => [{name: 'x.jpg', bytes: null}, {name: 'y/z.png', bytes: null}],
         /None of the pictures could be loaded/, 'PicLens Lite - pictures not found'],
        ['a feed cut off in its last item', () => here, /The picture list is damaged/, 'PicLens Lite - picture list not readable',
         (text) => text.slice(0, text.lastIndexOf('</item>'))],
        ['a feed of an unknown namespace', () => here, /No pictures to show/, 'PicLens Lite - no pictures',
         (text) => text.replace('http://search.yahoo.com/mrss/', 'http://example.invalid/other/')],
    ];
    for (const [what, files, text, title, damage] of messageRows) {
        it(`shows a message for ${what}, with the title protocol, until Esc`, async () => {
            const written = gallery(files());
            if (damage) {
                const feed = path.join(written.base, 'WINDOWS', 'temp', 'feed.rss');
                fs.writeFileSync(feed, damage(fs.readFileSync(feed, 'latin1')), 'latin1');
            }
            const {page} = await openGallery(browser.context, written);
            await waitForTitle(page, title);
            assert.match((await seen(page)).message, text, what);
            await page.keyboard.press('ArrowRight');  // no picture to move to: nothing happens
            assert.equal((await seen(page)).title, title, what);
            await page.keyboard.press('Escape');
            await waitForTitle(page, 'view gallery');

            // Positions may pass in the title while missing pictures are tried before the message.
            const titles = await page.evaluate(() => window.__titles);
            const loadedAt = await page.evaluate(() => window.__loadedAt);
            const names = titlesOf(titles);
            assert.deepEqual([names[0], ...names.slice(-2)], ['view gallery', title, 'view gallery'], what);
            assert.deepEqual(names.slice(1, -1).filter((t) => !t.startsWith('PicLens')), [], what);
            assert.ok(titles[1].at - loadedAt >= HOLD_MS - 1, `${what}: message after ${titles[1].at - loadedAt} ms`);
            await page.close();
        });
    }

});
