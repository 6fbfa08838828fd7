// A gallery on disk as the gallery builder leaves it for the browser: feed.rss and gallery.htm in a
// "temp" folder, the viewer in the program's own folder, pictures in folders whose names need coding.
// Paths are byte strings (Windows-1252), as on Windows; here they are Linux paths below a temp folder.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');

const VIEWER_SOURCE = path.join(__dirname, '..', '..', 'viewer', 'piclens.js');

// Windows-1252 bytes of a text; the euro sign is the one character used here above 0xFF.
function cp1252(text) {
    return Buffer.from(Array.from(text, (ch) => (ch === '\u20ac' ? 0x80 : ch.charCodeAt(0))));
}

// The thirteen codes the builder has always applied, in their order.
const ESCAPE_TABLE = [
    ['\xc4', '%C4'], ['\xd6', '%D6'], ['\xdc', '%DC'], ['\xe4', '%E4'], ['\xf6', '%F6'], ['\xfc', '%FC'],
    ['\xdf', '%DF'], ['"', '%22'], ['&', '%26'], ["'", '%27'], ['+', '%2B'], [' ', '%20'], ['~', '%7E'],
];

// A path (bytes) coded for a file:/// URL: "%" first, then the table, then "#" and every control or
// non-ASCII byte left, then backslashes turned into slashes.
function codePath(bytes) {
    let text = bytes.toString('latin1').split('%').join('%25');
    for (const [from, to] of ESCAPE_TABLE) {
        text = text.split(from).join(to);
    }
    text = text.replace(/[#\x00-\x1f\x7f-\xff]/g,
                        (ch) => '%' + ch.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0'));
    return text.split('\\').join('/');
}

// file:/// and the coded path; a Linux path loses its leading slash as a drive path has none.
function fileUrl(bytes) {
    return 'file:///' + codePath(bytes.subarray(bytes[0] === 0x2f ? 1 : 0));
}

function feedText(pictureUrls) {
    const lines = [
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
        '<rss version="2.0" xmlns:media="http://search.yahoo.com/mrss/">',
        '<channel>',
    ];
    for (const url of pictureUrls) {
        lines.push('<item>', `<media:thumbnail url="${url}" type="image" />`,
                   `<media:content  url="${url}" type="image" />`, '</item>');
    }
    lines.push('</channel>', '</rss>');
    return lines.map((line) => line + '\r\n').join('');
}

function pageText(viewerUrl) {
    return '<html><head><title>view gallery</title><link rel="alternate" href="feed.rss" ' +
        'type="application/rss+xml" title="" id="gallery" /><script type="text/javascript" src="' + viewerUrl +
        '"></script><script type="text/javascript">PicLensLite.start();</script><body></body></html>\r\n';
}

// Writes one gallery below a new temp folder. `pictures` are {name, bytes} with name a text path
// relative to the picture folder ("/" separated); bytes null leaves the file out (a missing picture).
// Returns the page URL, the picture URLs in feed order and the folder to remove afterwards.
function writeGallery(pictures) {
    const base = fs.mkdtempSync(path.join(os.tmpdir(), 'viewer-test-'));
    const join = (...parts) => Buffer.concat(parts.map((p) => (Buffer.isBuffer(p) ? p : cp1252(p))));

    const program = join(base, '/Program Files/Galerie & Co #2 (100%)');
    fs.mkdirSync(join(program, '/viewer'), {recursive: true});
    fs.copyFileSync(VIEWER_SOURCE, join(program, '/viewer/piclens.js'));

    const urls = [];
    for (const picture of pictures) {
        const file = join(base, '/Bilder/', picture.name);
        if (picture.bytes) {
            fs.mkdirSync(file.subarray(0, file.lastIndexOf(0x2f)), {recursive: true});
            fs.writeFileSync(file, picture.bytes);
        }
        urls.push(fileUrl(file));
    }

    const temp = path.join(base, 'WINDOWS', 'temp');
    fs.mkdirSync(temp, {recursive: true});
    fs.writeFileSync(path.join(temp, 'feed.rss'), feedText(urls), 'latin1');
    fs.writeFileSync(path.join(temp, 'gallery.htm'), pageText(fileUrl(join(program, '/viewer/piclens.js'))), 'latin1');
    return {base, pageUrl: 'file://' + path.join(temp, 'gallery.htm'), urls};
}

function removeGallery(gallery) {
    fs.rmSync(gallery.base, {recursive: true, force: true});
}

module.exports = {cp1252, codePath, fileUrl, feedText, pageText, writeGallery, removeGallery};
