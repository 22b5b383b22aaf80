#!/usr/bin/env python3
"""Signs requests with botocore's S3 signer, the reference the client's signer
is checked against.

usage: sigv4_oracle.py CASES.json RESULTS.txt

CASES.json is a list of requests: method, host, path (raw object path, encoded
here with Python's own quoting), query ("" or a sub-resource such as
"delete"), region, service, access_key, secret_key, token ("" for none),
epoch and clock_offset (the request time), payload, content_md5 (bool).

RESULTS.txt gets one line per case: the canonical request and the string to
sign, both hex-encoded, and the signature, separated by blanks. Nothing of the
credentials is printed.
"""
import base64
import datetime
import hashlib
import json
import sys
import urllib.parse

try:
    from botocore.auth import S3SigV4Auth
    from botocore.awsrequest import AWSRequest
    from botocore.credentials import Credentials
except ImportError:
    sys.stderr.write("missing Python module botocore (Debian package python3-botocore, for /usr/bin/python3)\n")
    sys.exit(3)


def sign(case):
    when = datetime.datetime.fromtimestamp(case["epoch"] + case["clock_offset"], tz=datetime.timezone.utc)
    amz_date = when.strftime("%Y%m%dT%H%M%SZ")
    url = "https://%s%s" % (case["host"], urllib.parse.quote(case["path"], safe="/~"))
    if case["query"]:
        url += "?" + case["query"]
    payload = case["payload"].encode()
    headers = {
        "host": case["host"],
        "X-Amz-Content-SHA256": "UNSIGNED-PAYLOAD",
        "X-Amz-Date": amz_date,
    }
    if case["content_md5"]:
        headers["Content-MD5"] = base64.b64encode(hashlib.md5(payload).digest()).decode()
    if case["token"]:
        headers["X-Amz-Security-Token"] = case["token"]
    request = AWSRequest(method=case["method"], url=url, data=payload, headers=headers)
    request.context["timestamp"] = amz_date
    credentials = Credentials(case["access_key"], case["secret_key"], case["token"] or None)
    auth = S3SigV4Auth(credentials, case["service"], case["region"])
    canonical = auth.canonical_request(request)
    to_sign = auth.string_to_sign(request, canonical)
    signature = auth.signature(to_sign, request)
    return "%s %s %s" % (canonical.encode().hex(), to_sign.encode().hex(), signature)


def main():
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(sys.argv[1], encoding="utf-8") as source:
        cases = json.load(source)
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        for case in cases:
            out.write(sign(case) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
