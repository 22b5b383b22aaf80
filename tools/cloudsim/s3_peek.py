#!/usr/bin/env python3
"""Looks into the fixture store with boto3, using the credentials that
moto_fixture.py wrote, to check what the client did.

usage:
  s3_peek.py STATE_FILE head KEY          prints the object's size
  s3_peek.py STATE_FILE get KEY OUT_FILE  writes the object's bytes
  s3_peek.py STATE_FILE list PREFIX       prints one key per line
  s3_peek.py STATE_FILE put KEY IN_FILE   stores the file's bytes
  s3_peek.py STATE_FILE put-many PREFIX N stores N small objects PREFIX0..

Exit status 4 when the object is missing. Nothing secret is printed.
"""
import sys

try:
    import boto3
    from botocore.config import Config
    from botocore.exceptions import ClientError
except ImportError as missing:
    sys.stderr.write("missing Python module %s (run this with .oracles/venv/bin/python3, made by scripts/oracles.sh)\n" % missing.name)
    sys.exit(3)


def load(path):
    state = {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            name, _, value = line.rstrip("\n").partition("=")
            state[name] = value
    return state


def main(argv):
    state = load(argv[1])
    s3 = boto3.client("s3", endpoint_url=state["endpoint"], region_name=state["region"],
                      aws_access_key_id=state["access_key"], aws_secret_access_key=state["secret_key"],
                      aws_session_token=state["token"], config=Config(s3={"addressing_style": "path"}))
    bucket = state["bucket"]
    command, argument = argv[2], argv[3]
    try:
        if command == "head":
            print(s3.head_object(Bucket=bucket, Key=argument)["ContentLength"])
        elif command == "get":
            with open(argv[4], "wb") as out:
                out.write(s3.get_object(Bucket=bucket, Key=argument)["Body"].read())
        elif command == "list":
            # The prefix is matched here: the server mis-checks signed
            # queries that hold encoded characters such as "/".
            for page in s3.get_paginator("list_objects_v2").paginate(Bucket=bucket):
                for entry in page.get("Contents", []):
                    if entry["Key"].startswith(argument):
                        print(entry["Key"])
        elif command == "put":
            with open(argv[4], "rb") as source:
                s3.put_object(Bucket=bucket, Key=argument, Body=source.read())
        elif command == "put-many":
            for index in range(int(argv[4])):
                s3.put_object(Bucket=bucket, Key="%s%d" % (argument, index), Body=b"x")
        else:
            sys.stderr.write(__doc__)
            return 2
    except ClientError as error:
        code = error.response.get("Error", {}).get("Code", "")
        if code in ("404", "NoSuchKey"):
            return 4
        sys.stderr.write("s3 error %s\n" % code)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(list(sys.argv)))
