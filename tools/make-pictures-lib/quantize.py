"""Reduces a picture's colours to a palette of its own (median cut).

The colour box with the largest squared error is split at the weighted median of its widest
channel until the boxes' colours fill the palette; each box's colour is the weighted mean of
the colours in it, and every colour is drawn with its box's entry. Only integer
arithmetic is used, so the result is the same everywhere. A picture with no more colours than
entries keeps its colours exactly.

    palette, indices = quantize(pixels, 256)   # pixels: (r, g, b) per pixel
"""


def _error(box):
    """Squared error of a box per channel, as integers: (n * sum(v^2) - sum(v)^2) // n."""
    n = 0
    sums = [0, 0, 0]
    squares = [0, 0, 0]
    for colour, count in box:
        n += count
        for c in range(3):
            sums[c] += colour[c] * count
            squares[c] += colour[c] * colour[c] * count
    return [(n * squares[c] - sums[c] * sums[c]) // n for c in range(3)]


def _split(box, channel):
    ordered = sorted(box, key=lambda item: (item[0][channel], item[0]))
    total = 0
    for _, count in ordered:
        total += count
    running = 0
    cut = 1
    for i, (_, count) in enumerate(ordered):
        running += count
        if running * 2 >= total:
            cut = i + 1
            break
    cut = max(1, min(cut, len(ordered) - 1))
    return ordered[:cut], ordered[cut:]


def _mean(box):
    n = 0
    sums = [0, 0, 0]
    for colour, count in box:
        n += count
        for c in range(3):
            sums[c] += colour[c] * count
    return tuple((2 * s + n) // (2 * n) for s in sums)


def quantize(pixels, entries):
    histogram = {}
    for p in pixels:
        histogram[p] = histogram.get(p, 0) + 1

    if len(histogram) <= entries:
        palette = sorted(histogram)
        lookup = {colour: i for i, colour in enumerate(palette)}
    else:
        boxes = [sorted(histogram.items())]
        errors = [_error(boxes[0])]
        means = [_mean(boxes[0])]
        # Two boxes can round to the same mean; a palette entry given twice would be wasted,
        # so splitting goes on until the means, not the boxes, fill the palette.
        while len(set(means)) < entries:
            # The splittable box whose colours stray furthest from its mean goes next.
            best, best_score = -1, -1
            for i, box in enumerate(boxes):
                score = errors[i][0] + errors[i][1] + errors[i][2]
                if len(box) > 1 and score > best_score:
                    best, best_score = i, score
            if best < 0:
                break
            channel = max(range(3), key=lambda c: (errors[best][c], -c))
            low, high = _split(boxes[best], channel)
            split_means = means[:best] + [_mean(low), _mean(high)] + means[best + 1:]
            if len(set(split_means)) > entries:
                break
            boxes[best:best + 1] = [low, high]
            errors[best:best + 1] = [_error(low), _error(high)]
            means = split_means
        palette = []
        slot = {}
        for mean in means:
            if mean not in slot:
                slot[mean] = len(palette)
                palette.append(mean)
        lookup = {}
        for box, mean in zip(boxes, means):
            for colour, _ in box:
                lookup[colour] = slot[mean]

    indices = [lookup[p] for p in pixels]
    while len(palette) < entries:
        palette.append((0, 0, 0))
    return palette, indices
