// Test pictures of four colour blocks as real PNG and GIF files, a PNG reader for screenshots, and
// the geometry and colour checks that say what a fitted picture must look like on screen.
'use strict';

const zlib = require('zlib');

const RED = [220, 30, 30];
const GREEN = [30, 200, 60];
const BLUE = [40, 60, 220];
const YELLOW = [240, 220, 40];

// A picture of width x height split into four quadrants: top left, top right, bottom left, bottom right.
function blocks(width, height, quadrants = [RED, GREEN, BLUE, YELLOW]) {
    return {
        width,
        height,
        quadrants,
        colourAt(x, y) {
            return quadrants[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
        },
    };
}

const crcTable = Array.from({length: 256}, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) {
        c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    }
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) {
        c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    }
    return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(type, 4, 'latin1');
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
}

// 8-bit RGB, every row with filter 0.
function encodePng(picture) {
    const {width, height} = picture;
    const raw = Buffer.alloc((width * 3 + 1) * height);
    for (let y = 0; y < height; y++) {
        const row = y * (width * 3 + 1);
        for (let x = 0; x < width; x++) {
            const [r, g, b] = picture.colourAt(x, y);
            raw.set([r, g, b], row + 1 + x * 3);
        }
    }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, 2, 0, 0, 0], 8);
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        pngChunk('IHDR', header),
        pngChunk('IDAT', zlib.deflateSync(raw)),
        pngChunk('IEND', Buffer.alloc(0)),
    ]);
}

function paeth(a, b, c) {
    const p = a + b - c;
    const pa = Math.abs(p - a);
    const pb = Math.abs(p - b);
    const pc = Math.abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Reads a non-interlaced 8-bit RGB or RGBA PNG, as screenshots are: {width, height, pixel(x, y)}.
function decodePng(file) {
    let offset = 8;
    let width = 0;
    let height = 0;
    let channels = 0;
    const data = [];
    while (offset < file.length) {
        const length = file.readUInt32BE(offset);
        const type = file.toString('latin1', offset + 4, offset + 8);
        const body = file.subarray(offset + 8, offset + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            const [depth, colourType, , , interlace] = body.subarray(8);
            if (depth !== 8 || interlace !== 0 || (colourType !== 2 && colourType !== 6)) {
                throw new Error(`unsupported PNG: depth ${depth}, colour type ${colourType}, interlace ${interlace}`);
            }
            channels = colourType === 6 ? 4 : 3;
        } else if (type === 'IDAT') {
            data.push(body);
        }
        offset += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        for (let i = 0; i < stride; i++) {
            const value = raw[y * (stride + 1) + 1 + i];
            const left = i >= channels ? pixels[y * stride + i - channels] : 0;
            const up = y > 0 ? pixels[(y - 1) * stride + i] : 0;
            const upLeft = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
            const predictor = [0, left, up, (left + up) >> 1, paeth(left, up, upLeft)][filter];
            pixels[y * stride + i] = (value + predictor) & 0xff;
        }
    }
    return {
        width,
        height,
        pixel(x, y) {
            const at = y * stride + x * channels;
            return [pixels[at], pixels[at + 1], pixels[at + 2]];
        },
    };
}

// GIF89a with a 256-colour table. The LZW stream starts afresh with a clear code every 250 codes, so
// every code stays 9 bits wide: a valid, if uncompressed, stream.
function encodeGif(picture) {
    const {width, height} = picture;
    const palette = [];
    const indexes = [];
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
            const key = picture.colourAt(x, y).join(',');
            let index = palette.indexOf(key);
            if (index === -1) {
                index = palette.push(key) - 1;
            }
            indexes.push(index);
        }
    }
    const table = Buffer.alloc(256 * 3);
    palette.forEach((key, i) => table.set(key.split(',').map(Number), i * 3));

    const clear = 256;
    const end = 257;
    const bytes = [];
    let bitBuffer = 0;
    let bitCount = 0;
    const put = (code) => {
        bitBuffer |= code << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            bytes.push(bitBuffer & 0xff);
            bitBuffer >>>= 8;
            bitCount -= 8;
        }
    };
    indexes.forEach((index, i) => {
        if (i % 250 === 0) {
            put(clear);
        }
        put(index);
    });
    put(end);
    if (bitCount > 0) {
        bytes.push(bitBuffer & 0xff);
    }
    const blocksOut = [];
    for (let i = 0; i < bytes.length; i += 255) {
        const part = bytes.slice(i, i + 255);
        blocksOut.push(Buffer.from([part.length, ...part]));
    }

    const screen = Buffer.alloc(7);
    screen.writeUInt16LE(width, 0);
    screen.writeUInt16LE(height, 2);
    screen.set([0xf7, 0, 0], 4);
    const descriptor = Buffer.alloc(10);
    descriptor[0] = 0x2c;
    descriptor.writeUInt16LE(width, 5);
    descriptor.writeUInt16LE(height, 7);
    return Buffer.concat([
        Buffer.from('GIF89a', 'latin1'), screen, table, descriptor, Buffer.from([8]), ...blocksOut,
        Buffer.from([0, 0x3b]),
    ]);
}

// Where a picture fitted into a window of viewWidth x viewHeight and centred is drawn.
function fittedRect(picture, viewWidth, viewHeight) {
    const scale = Math.min(viewWidth / picture.width, viewHeight / picture.height);
    const width = picture.width * scale;
    const height = picture.height * scale;
    return {left: (viewWidth - width) / 2, top: (viewHeight - height) / 2, width, height};
}

// The points to look at on a screenshot and the colour each must have: the middle of each quadrant,
// a point just inside each edge of the drawn picture, and a point just outside each edge that is not
// the window's own (the dark background). Returns the mismatches, each as a readable line.
function checkFitted(screenshot, picture, tolerance) {
    const rect = fittedRect(picture, screenshot.width, screenshot.height);
    const points = [];
    const at = (fx, fy) => [Math.round(rect.left + fx * rect.width), Math.round(rect.top + fy * rect.height)];
    for (const [fx, fy] of [[0.25, 0.25], [0.75, 0.25], [0.25, 0.75], [0.75, 0.75]]) {
        points.push({where: at(fx, fy), colour: picture.colourAt(fx * picture.width, fy * picture.height)});
    }
    const margin = 6;
    const edges = [
        {inside: [rect.left + margin, rect.top + rect.height / 4], outside: [rect.left - margin, null]},
        {inside: [rect.left + rect.width - margin, rect.top + rect.height / 4], outside: [rect.left + rect.width + margin, null]},
        {inside: [rect.left + rect.width / 4, rect.top + margin], outside: [null, rect.top - margin]},
        {inside: [rect.left + rect.width / 4, rect.top + rect.height - margin], outside: [null, rect.top + rect.height + margin]},
    ];
    for (const edge of edges) {
        const [ix, iy] = edge.inside.map(Math.round);
        const fx = (ix - rect.left) / rect.width;
        const fy = (iy - rect.top) / rect.height;
        points.push({where: [ix, iy], colour: picture.colourAt(fx * picture.width, fy * picture.height)});
        const ox = edge.outside[0] === null ? ix : Math.round(edge.outside[0]);
        const oy = edge.outside[1] === null ? iy : Math.round(edge.outside[1]);
        if (ox >= 0 && ox < screenshot.width && oy >= 0 && oy < screenshot.height) {
            points.push({where: [ox, oy], dark: true});
        }
    }
    const faults = [];
    for (const point of points) {
        const [x, y] = point.where;
        const seen = screenshot.pixel(x, y);
        if (point.dark) {
            if (Math.max(...seen) > 40) {
                faults.push(`(${x},${y}) should be dark background, is ${seen}`);
            }
        } else if (seen.some((value, i) => Math.abs(value - point.colour[i]) > tolerance)) {
            faults.push(`(${x},${y}) should be ${point.colour}, is ${seen}`);
        }
    }
    return faults;
}

module.exports = {RED, GREEN, BLUE, YELLOW, blocks, encodePng, decodePng, encodeGif, fittedRect, checkFitted};
